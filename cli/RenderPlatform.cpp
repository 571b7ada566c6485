#include "cli/RenderPlatform.h"

#include <algorithm>
#include <exception>

#include "audio/CueSound.h"

namespace {

// Frames per sink block: 100 ms, so a long wait never holds much audio in memory.
constexpr int64_t kBlockFrames = 4410;

}  // namespace

CRenderPlatform::CRenderPlatform(midi::COfflineSynth& synth, AudioBlockSink sink)
    : synth_(synth), sink_(std::move(sink)) {
  block_.reserve(2 * kBlockFrames);
}

namespace {

// The first frame of a millisecond of the 44.1 kHz stream.
int64_t FrameOfMs(int64_t ms) { return ms * CRenderPlatform::kSampleRate / 1000; }

}  // namespace

void CRenderPlatform::RenderToClock() {
  RenderFrames(std::max<int64_t>(0, FrameOfMs(clockMs_) - renderedFrames_));
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

void CRenderPlatform::SetTimer1() { timerSet_ = true; }

void CRenderPlatform::KillTimer1() { timerSet_ = false; }

int32_t CRenderPlatform::ClockMs() { return static_cast<int32_t>(static_cast<uint32_t>(clockMs_)); }

int64_t CRenderPlatform::CueMs(const char* name) {
  return cues_.LengthMs(name != nullptr ? name : "", kSampleRate);
}

int32_t CRenderPlatform::StartCueSound(const char* name, int32_t dueMs) {
  const std::string cue = name != nullptr ? name : "";
  synth_.StartCueAt(cues_.Samples(cue, kSampleRate), FrameOfMs(dueMs));
  return cues_.LengthMs(cue, kSampleRate);
}

void CRenderPlatform::StopCueSound() { synth_.StopCue(); }

void CRenderPlatform::SetVolume(uint32_t volume) { synth_.SetVolume(volume); }

void CRenderPlatform::SendShortMessage(uint32_t message, int32_t dueMs) {
  synth_.SendShortMessageAt(message, FrameOfMs(dueMs));
}

void CRenderPlatform::ShowMessage(const char* text) { messages.emplace_back(text); }
