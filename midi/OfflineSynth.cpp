#include "midi/OfflineSynth.h"

#include <algorithm>
#include <cmath>

#include "midi/MidiOutException.h"
#include "midi/Soundfont.h"

namespace midi {

COfflineSynth::COfflineSynth(const std::string& soundfontPath) {
  std::string error;
  if (!engine_.Load(soundfontPath.empty() ? FindSoundfont() : soundfontPath, error))
    throw CMIDIOutException(error.c_str());
  engine_.SetVolume(0xFFFF);
}

void COfflineSynth::SendShortMessage(uint32_t message) {
  SendShortMessageAt(message, CSynthEngine::kNextFrame);
}

void COfflineSynth::SendShortMessageAt(uint32_t message, int64_t frame) {
  std::string error;
  if (!engine_.Schedule(message, frame, 0, error)) throw CMIDIOutException(error.c_str());
}

void COfflineSynth::SetVolume(uint32_t volume) { engine_.SetVolume(volume); }

void COfflineSynth::RenderFrames(int frames, std::vector<int16_t>& interleavedStereoOut) {
  constexpr int kChunk = 512;
  float left[kChunk];
  float right[kChunk];
  interleavedStereoOut.reserve(interleavedStereoOut.size() +
                               2 * static_cast<size_t>(std::max(frames, 0)));
  for (int done = 0; done < frames;) {
    const int count = std::min(kChunk, frames - done);
    std::fill(left, left + count, 0.0f);
    std::fill(right, right + count, 0.0f);
    engine_.Render(count, left, right);
    for (int i = 0; i < count; ++i) {
      for (float sample : {left[i], right[i]}) {
        const float scaled = std::clamp(sample, -1.0f, 1.0f) * 32767.0f;
        interleavedStereoOut.push_back(static_cast<int16_t>(std::lround(scaled)));
      }
    }
    done += count;
  }
}

int COfflineSynth::StartCueAt(std::vector<float> stereoSamples, int64_t frame) {
  const int frames = static_cast<int>(stereoSamples.size() / 2);
  engine_.Cue().Start(std::move(stereoSamples), frame);
  return frames;
}

}  // namespace midi
