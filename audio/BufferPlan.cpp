#include "audio/BufferPlan.h"

#include <algorithm>

namespace audio {

CBufferPlan::CBufferPlan(int64_t startFrames, int64_t mostFrames)
    : mostFrames_(std::max(startFrames, mostFrames)), frames_(startFrames) {}

bool CBufferPlan::Settle() {
  const int64_t before = frames_;
  for (; pendingUnderruns_ > 0; --pendingUnderruns_) frames_ = std::min(frames_ * 2, mostFrames_);
  return frames_ != before;
}

}  // namespace audio
