#pragma once

#include <cstdint>

namespace audio {

// How long an output's buffer is, in frames, and when it changes. It starts short, so that a
// press is heard at once; for each time the stream has run dry it doubles, up to a most that
// carries the test machine's longest stalls. A fixed plan never changes. The output takes
// the new length only at a moment when nothing sounds (its stream is about to rest), so that
// a change moves no note already scheduled and no note of a play under way.
class CBufferPlan {
 public:
  // The start and the most of an adaptive plan at 44.1 kHz: 23 ms and 186 ms.
  static constexpr int64_t kStartFrames = 1024;
  static constexpr int64_t kMostFrames = 8192;

  // An adaptive plan from startFrames up to mostFrames.
  CBufferPlan(int64_t startFrames, int64_t mostFrames);
  // A plan that stays at `frames`.
  static CBufferPlan Fixed(int64_t frames) { return CBufferPlan(frames, frames); }

  int64_t Frames() const { return frames_; }
  // The stream ran dry.
  void Underrun() { ++pendingUnderruns_; }
  // At a quiet moment: true when the length has changed since the last one.
  bool Settle();

 private:
  int64_t mostFrames_;
  int64_t frames_;
  int pendingUnderruns_ = 0;
};

}  // namespace audio
