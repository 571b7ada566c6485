#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>

namespace audio {

// A steady-clock time (now, unless given) in nanoseconds, as the stream clock takes it.
inline int64_t SteadyNs(
    std::chrono::steady_clock::time_point time = std::chrono::steady_clock::now()) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}

// Maps steady-clock time to the frames of an audio stream: which frame is heard at a given
// moment. The audio thread feeds it what the output measured (the frame heard at a time); any
// thread asks for the frame heard at a time. The map is a straight line at the stream's
// nominal rate. Measurements only move it slowly, within limits, so that it does not wobble
// with their noise, yet follows a sound card whose clock drifts from the system's; only a
// large error that persists (a stream that was restarted) moves it at once.
class CStreamClock {
 public:
  // What FrameAt returns before the first measurement.
  static constexpr int64_t kNoFrame = std::numeric_limits<int64_t>::min();

  // Measurements closer to the line than this leave it where it is (0.5 ms).
  static constexpr double kDeadbandSeconds = 0.0005;
  // Time constant of the filter that averages the measurements' error.
  static constexpr double kFilterSeconds = 1.0;
  // The fastest the line follows a drifting clock: 500 ppm, 0.5 ms per second.
  static constexpr double kMaxSlew = 500e-6;
  // The first measurements each set the line, while the output's own timing settles; the
  // map is ready for use after them.
  static constexpr int kSettleCount = 4;
  // An error this large in this many measurements in a row moves the line at once.
  static constexpr double kJumpSeconds = 0.020;
  static constexpr int kJumpCount = 3;

  explicit CStreamClock(int sampleRate);

  // Audio thread: frame heardFrame was heard at steadyNs.
  void Observe(int64_t steadyNs, double heardFrame);
  // Any thread: the frame heard at steadyNs, kNoFrame before the first measurement.
  int64_t FrameAt(int64_t steadyNs) const;
  // Any thread: the steady time at which frame is heard (0 before the first measurement).
  int64_t TimeOf(int64_t frame) const;
  // Any thread: measurements taken so far.
  int64_t Observations() const { return observations_.load(std::memory_order_acquire); }
  int SampleRate() const { return sampleRate_; }

 private:
  const int sampleRate_;
  const double framesPerNs_;
  // Set with the first measurement, before observations_ says there is one; never changed.
  int64_t originNs_ = 0;
  // The frame heard at originNs_: the line's only parameter that moves.
  std::atomic<double> offset_{0.0};
  std::atomic<int64_t> observations_{0};
  // The audio thread's own state.
  int64_t lastNs_ = 0;
  double filteredError_ = 0.0;
  int largeErrors_ = 0;
};

}  // namespace audio
