#include "app/RenderPlatform.h"

#include <algorithm>
#include <exception>

#include "midi/CueSound.h"

namespace {

// Frames per sink block: 100 ms, so a long wait never holds much audio in memory.
constexpr int64_t kBlockFrames = 4410;

}  // namespace

CRenderPlatform::CRenderPlatform(midi::COfflineSynth& synth, AudioBlockSink sink)
    : synth_(synth), sink_(std::move(sink)) {
  block_.reserve(2 * kBlockFrames);
}

void CRenderPlatform::RenderMs(int64_t ms) {
  // Whole milliseconds of a 44.1 kHz stream: 44.1 frames each, rounded on the running total.
  const int64_t nowMs = renderedFrames_ * 1000 / kSampleRate;
  const int64_t target = (nowMs + ms) * kSampleRate / 1000;
  RenderFrames(std::max<int64_t>(0, target - renderedFrames_));
}

void CRenderPlatform::RenderFrames(int64_t frames) {
  while (frames > 0 && !sinkFailed_) {
    const int count = static_cast<int>(std::min(frames, kBlockFrames));
    block_.clear();
    synth_.RenderFrames(count, block_);
    if (!sink_(block_.data(), count)) sinkFailed_ = true;
    renderedFrames_ += count;
    frames -= count;
  }
}

void CRenderPlatform::SetTimer1() {
  timerSet_ = true;
  ++timerStarts_;
}

void CRenderPlatform::KillTimer1() { timerSet_ = false; }

int32_t CRenderPlatform::ClockMs() {
  return static_cast<int32_t>(static_cast<uint32_t>(renderedFrames_ * 1000 / kSampleRate));
}

void CRenderPlatform::SleepMs(int32_t ms) { RenderMs(ms); }

const std::vector<float>& CRenderPlatform::Cue(const char* name) {
  const std::string wanted = name != nullptr ? name : "";
  if (!cueLoaded_ || cueName_ != wanted) {
    cueSamples_ = midi::LoadCueOrDefault(wanted, kSampleRate);
    cueName_ = wanted;
    cueLoaded_ = true;
  }
  return cueSamples_;
}

int64_t CRenderPlatform::CueMs(const char* name) {
  return static_cast<int64_t>(Cue(name).size() / 2) * 1000 / kSampleRate;
}

void CRenderPlatform::PlayCueSound(const char* name) {
  RenderFrames(synth_.PlayCueSamples(Cue(name)));
}

void CRenderPlatform::SetVolume(uint32_t volume) { synth_.SetVolume(volume); }

void CRenderPlatform::SendShortMessage(uint32_t message) { synth_.SendShortMessage(message); }

void CRenderPlatform::ShowMessage(const char* text) { messages.emplace_back(text); }
