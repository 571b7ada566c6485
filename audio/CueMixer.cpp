#include "audio/CueMixer.h"

#include <algorithm>
#include <utility>

namespace audio {

void CCueMixer::Start(std::vector<float> stereoSamples, int64_t startFrame) {
  std::lock_guard<std::mutex> hold(lock_);
  samples_.swap(stereoSamples);
  startFrame_ = startFrame;
  begun_ = false;
  nextFrame_ = 0;
  playing_ = samples_.size() >= 2;
  // The previous cue's samples leave with stereoSamples, freed by this thread after the
  // lock is released: the audio thread never frees memory.
}

void CCueMixer::MixInto(float* left, float* right, int frames, int64_t firstFrame) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!playing_ || frames <= 0) return;
  size_t offset = 0;
  if (!begun_) {
    if (startFrame_ != kNextFrame && startFrame_ >= firstFrame + frames) return;
    // A cue whose frame has passed begins with this block.
    if (startFrame_ != kNextFrame && startFrame_ > firstFrame)
      offset = static_cast<size_t>(startFrame_ - firstFrame);
    begun_ = true;
  }
  const size_t total = samples_.size() / 2;
  const size_t count = std::min(total - nextFrame_, static_cast<size_t>(frames) - offset);
  const float* source = samples_.data() + 2 * nextFrame_;
  for (size_t i = 0; i < count; ++i) {
    left[offset + i] += source[2 * i];
    right[offset + i] += source[2 * i + 1];
  }
  nextFrame_ += count;
  if (nextFrame_ >= total) playing_ = false;
}

void CCueMixer::Stop() {
  std::vector<float> dropped;  // freed after the lock is released
  std::lock_guard<std::mutex> hold(lock_);
  playing_ = false;
  dropped.swap(samples_);
}

bool CCueMixer::Playing() const {
  std::lock_guard<std::mutex> hold(lock_);
  return playing_;
}

}  // namespace audio
