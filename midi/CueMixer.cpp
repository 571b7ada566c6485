#include "midi/CueMixer.h"

#include <algorithm>
#include <utility>

namespace midi {

void CCueMixer::Start(std::vector<float> stereoSamples) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    samples_.swap(stereoSamples);
    nextFrame_ = 0;
    playing_ = samples_.size() >= 2;
  }
  // The previous cue's samples are freed here, outside the lock.
  ended_.notify_all();
}

void CCueMixer::MixInto(float* left, float* right, int frames) {
  bool endedNow = false;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!playing_) return;
    const size_t total = samples_.size() / 2;
    const size_t count = std::min(total - nextFrame_, static_cast<size_t>(std::max(frames, 0)));
    const float* source = samples_.data() + 2 * nextFrame_;
    for (size_t i = 0; i < count; ++i) {
      left[i] += source[2 * i];
      right[i] += source[2 * i + 1];
    }
    nextFrame_ += count;
    if (nextFrame_ >= total) {
      playing_ = false;
      endedNow = true;
    }
  }
  if (endedNow) ended_.notify_all();
}

void CCueMixer::Stop() {
  std::vector<float> dropped;
  {
    std::lock_guard<std::mutex> hold(lock_);
    playing_ = false;
    dropped.swap(samples_);
  }
  ended_.notify_all();
}

bool CCueMixer::Playing() const {
  std::lock_guard<std::mutex> hold(lock_);
  return playing_;
}

bool CCueMixer::WaitUntilEnded(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> hold(lock_);
  return ended_.wait_for(hold, timeout, [this] { return !playing_; });
}

}  // namespace midi
