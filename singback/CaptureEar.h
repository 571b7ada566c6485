#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/PitchTracker.h"
#include "listening/TakeJudge.h"
#include "singback/ListeningEar.h"
#include "singback/SoundInput.h"

class CPlayer;

// The sing-back exercise's ear: tracks the pitch of the sound it is fed (blocks from a
// CAudioCapture's audio thread, or a test) and judges each take against its phrase. Only
// frames heard between StartTake and FinishTake count, timed from the take's start. An input
// that sends nothing for kInputLostAfterMs of a take has stopped: the take is not judged and
// its verdict says the input was lost.
class CCaptureEar : public ListeningEar {
 public:
  static constexpr int64_t kInputLostAfterMs = 1500;
  // Milliseconds on a steady clock: when blocks arrive, and when a take starts and ends.
  using MsClock = std::function<int64_t()>;

  // The ear judges takes of the phrases `player` has loaded (whichever score that is when the
  // take ends), sung where the player plays them (fitted to its range) and raised by
  // `transpose` semitones more; the player must outlive the ear.
  CCaptureEar(const CPlayer& player, int sampleRate, int32_t transpose = 0);
  // An ear that hears `input`: the input starts first, to learn its rate, and feeds the ear
  // from then on, until StopInput or the ear's end. Throws what SoundInput::Start throws.
  static std::unique_ptr<CCaptureEar> Listen(const CPlayer& player,
                                             std::unique_ptr<SoundInput> input,
                                             int32_t transpose = 0);
  ~CCaptureEar() override;
  CCaptureEar(const CCaptureEar&) = delete;
  CCaptureEar& operator=(const CCaptureEar&) = delete;

  // Closes the input the ear was made with; what it judged stays.
  void StopInput();
  // The clock the ear times blocks and takes on (the steady clock unless set); set it before
  // the input starts sending.
  void SetClock(MsClock clock) { clock_ = std::move(clock); }

  // From the capture thread: one block of mono samples in [-1, 1].
  void OnSamples(const float* samples, unsigned frames);

  // PlayerEar, from the player's thread.
  void StartTake(int32_t row, int32_t lengthMs) override;
  TakeVerdict FinishTake() override;
  void CancelTake() override;

  // ListeningEar: the frames stay until the next take starts or this one is cancelled.
  std::vector<listening::TargetNote> TargetsOf(int32_t row) const override;
  void TakeFramesFrom(size_t from, std::vector<listening::PitchFrame>& out) const override;
  void SetJudgementSink(JudgementSink sink) override { judged_ = std::move(sink); }
  void SetTolerance(listening::Tolerance tolerance) override;
  InputLevel ReadInputLevel() override;
  // The take judged last and its phrase (-1 before any).
  const listening::TakeJudgement& LastJudgement() const { return last_; }
  int32_t LastRow() const { return lastRow_; }
  // The newest frame of the take running, for a live display; false when none yet.
  bool LatestFrame(listening::PitchFrame& frame) const;

 private:
  const CPlayer& player_;
  const int32_t transpose_;
  capture::CPitchTracker tracker_;            // fed on the capture thread only
  std::vector<listening::PitchFrame> fresh_;  // the capture thread's scratch
  // The meter's level, written by the capture thread and read (and reset) by the display's.
  std::atomic<float> meterPeak_{0.0f};
  std::atomic<float> meterRms_{0.0f};
  std::atomic<bool> meterClipped_{false};

  mutable std::mutex lock_;  // guards what follows, shared by both threads
  bool listening_ = false;
  double heardMs_ = 0.0;   // how much sound has been fed
  double originMs_ = 0.0;  // heardMs_ when the take started
  int32_t row_ = 0;
  std::vector<listening::PitchFrame> frames_;
  listening::JudgeSettings judging_;
  MsClock clock_;
  int64_t lastBlockMs_ = 0;     // when the latest block arrived
  int64_t takeStartMs_ = 0;     // when the take running started
  int64_t longestQuietMs_ = 0;  // the longest wait for a block during the take

  listening::TakeJudgement last_;
  int32_t lastRow_ = -1;
  JudgementSink judged_;

  // Listen's input and the ear it feeds (null once stopped); the input's thread holds the
  // pointer too, so it outlives the ear.
  std::shared_ptr<std::atomic<CCaptureEar*>> feeding_;
  std::unique_ptr<SoundInput> input_;
};
