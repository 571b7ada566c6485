#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/PitchTracker.h"
#include "singback/PitchListener.h"
#include "singback/SoundInput.h"

// The range exercise's ear: tracks the pitch of what an input hears, from its start until it
// is let go, with no phrase to judge against. Blocks arrive on the input's thread.
class CRangeListener : public PitchListener {
 public:
  explicit CRangeListener(int sampleRate);
  // A listener that hears `input` from now on. Throws what SoundInput::Start throws.
  static std::unique_ptr<CRangeListener> Listen(std::unique_ptr<SoundInput> input);
  ~CRangeListener() override;
  CRangeListener(const CRangeListener&) = delete;
  CRangeListener& operator=(const CRangeListener&) = delete;

  // From the capture thread: one block of mono samples in [-1, 1].
  void OnSamples(const float* samples, unsigned frames);

  void FramesFrom(size_t from, std::vector<listening::PitchFrame>& out) const override;
  double HopMs() const override { return tracker_.HopMs(); }

 private:
  capture::CPitchTracker tracker_;            // fed on the capture thread only
  std::vector<listening::PitchFrame> fresh_;  // the capture thread's scratch
  mutable std::mutex lock_;
  std::vector<listening::PitchFrame> frames_;
  // The input and the listener it feeds (null once let go); the input's thread holds the
  // pointer too, so it outlives the listener.
  std::shared_ptr<std::atomic<CRangeListener*>> feeding_;
  std::unique_ptr<SoundInput> input_;
};
