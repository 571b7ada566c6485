#include "singback/RangeListener.h"

#include <utility>

CRangeListener::CRangeListener(int sampleRate) : tracker_(sampleRate) {
  fresh_.reserve(64);
  frames_.reserve(1 << 14);
}

std::unique_ptr<CRangeListener> CRangeListener::Listen(std::unique_ptr<SoundInput> input) {
  auto feeding = std::make_shared<std::atomic<CRangeListener*>>(nullptr);
  const unsigned rate = input->Start([feeding](const float* samples, unsigned frames) {
    if (CRangeListener* listener = feeding->load()) listener->OnSamples(samples, frames);
  });
  auto listener = std::make_unique<CRangeListener>(static_cast<int>(rate));
  listener->feeding_ = feeding;
  listener->input_ = std::move(input);
  feeding->store(listener.get());
  return listener;
}

CRangeListener::~CRangeListener() {
  if (feeding_) feeding_->store(nullptr);
  // Closing the input ends its thread: no block reaches the listener after this.
  input_.reset();
}

void CRangeListener::OnSamples(const float* samples, unsigned frames) {
  fresh_.clear();
  tracker_.Feed(samples, frames, fresh_);
  std::lock_guard<std::mutex> hold(lock_);
  frames_.insert(frames_.end(), fresh_.begin(), fresh_.end());
}

void CRangeListener::FramesFrom(size_t from, std::vector<listening::PitchFrame>& out) const {
  std::lock_guard<std::mutex> hold(lock_);
  if (from < frames_.size()) out.insert(out.end(), frames_.begin() + from, frames_.end());
}
