#include "audio/StreamClock.h"

#include <algorithm>
#include <cmath>

namespace audio {

CStreamClock::CStreamClock(int sampleRate)
    : sampleRate_(sampleRate), framesPerNs_(static_cast<double>(sampleRate) * 1e-9) {}

void CStreamClock::Observe(int64_t steadyNs, double heardFrame) {
  const int64_t count = observations_.load(std::memory_order_relaxed);
  if (count == 0) {
    originNs_ = steadyNs;
    offset_.store(heardFrame, std::memory_order_relaxed);
    lastNs_ = steadyNs;
    observations_.store(1, std::memory_order_release);
    return;
  }
  double offset = offset_.load(std::memory_order_relaxed);
  const double error =
      heardFrame - (offset + static_cast<double>(steadyNs - originNs_) * framesPerNs_);
  // Time since the previous measurement, bounded so that a stall does not count as a long
  // stretch of agreement.
  const double seconds = std::clamp(static_cast<double>(steadyNs - lastNs_) * 1e-9, 0.0, 0.1);
  lastNs_ = steadyNs;

  if (count < kSettleCount) {
    // Settling: each measurement sets the line.
    offset += error;
  } else if (std::fabs(error) > kJumpSeconds * sampleRate_) {
    if (++largeErrors_ >= kJumpCount) {
      offset += error;
      filteredError_ = 0.0;
      largeErrors_ = 0;
    }
  } else {
    largeErrors_ = 0;
    filteredError_ += std::min(1.0, seconds / kFilterSeconds) * (error - filteredError_);
    if (std::fabs(filteredError_) > kDeadbandSeconds * sampleRate_) {
      const double limit = kMaxSlew * seconds * sampleRate_;
      const double step = std::clamp(filteredError_, -limit, limit);
      offset += step;
      filteredError_ -= step;
    }
  }
  offset_.store(offset, std::memory_order_relaxed);
  observations_.store(count + 1, std::memory_order_release);
}

int64_t CStreamClock::FrameAt(int64_t steadyNs) const {
  if (Observations() == 0) return kNoFrame;
  const double offset = offset_.load(std::memory_order_relaxed);
  return std::llround(offset + static_cast<double>(steadyNs - originNs_) * framesPerNs_);
}

int64_t CStreamClock::TimeOf(int64_t frame) const {
  if (Observations() == 0) return 0;
  const double offset = offset_.load(std::memory_order_relaxed);
  return originNs_ + std::llround((static_cast<double>(frame) - offset) / framesPerNs_);
}

}  // namespace audio
