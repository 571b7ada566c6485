#pragma once

#include <cstdint>

namespace audio {

// How long an output's buffer is, in frames. It starts short, so that a press is heard at
// once; each time the stream runs dry it doubles at once, up to a most that carries the test
// machine's longest stalls. A fixed plan never changes.
class CBufferPlan {
 public:
  // The start and the most of an adaptive plan at 44.1 kHz: 23 ms and 186 ms.
  static constexpr int64_t kStartFrames = 1024;
  static constexpr int64_t kMostFrames = 8192;

  // An adaptive plan from startFrames up to mostFrames.
  CBufferPlan(int64_t startFrames, int64_t mostFrames)
      : mostFrames_(mostFrames > startFrames ? mostFrames : startFrames), frames_(startFrames) {}
  // A plan that stays at `frames`.
  static CBufferPlan Fixed(int64_t frames) { return CBufferPlan(frames, frames); }

  int64_t Frames() const { return frames_; }
  // The stream ran dry: true when the buffer grows.
  bool Underrun();

 private:
  int64_t mostFrames_;
  int64_t frames_;
};

}  // namespace audio
