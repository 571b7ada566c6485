#include "audio/BufferPlan.h"

#include <algorithm>

namespace audio {

bool CBufferPlan::Underrun() {
  const int64_t before = frames_;
  frames_ = std::min(frames_ * 2, mostFrames_);
  return frames_ != before;
}

}  // namespace audio
