#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "midi/SynthEngine.h"

namespace midi {

// The embedded synthesizer without an audio driver: renders into memory at 44.1 kHz, so that
// tests and the command line can hear what the messages produced. Messages and the cue are
// placed on the frames of the rendered stream, as the live synthesizer places them. Not
// thread-safe.
class COfflineSynth {
 public:
  static constexpr int kSampleRate = CSynthEngine::kSampleRate;
  // FluidSynth starts notes at multiples of this many frames (see CSynthEngine).
  static constexpr int kBlockFrames = CSynthEngine::kBlockFrames;

  // Loads soundfontPath, or the one FindSoundfont() finds when it is empty, and sets full
  // volume. Throws CMIDIOutException with the synthesizer's text on failure.
  explicit COfflineSynth(const std::string& soundfontPath = {});

  // Plays a short message at the next frame rendered. Throws CMIDIOutException.
  void SendShortMessage(uint32_t message);
  // Plays a short message at `frame` of the rendered stream (counted from the first frame
  // rendered); a frame already rendered means the next one. A note starts at the block start
  // nearest its frame. At most CSynthEngine::kQueueCapacity messages wait for their frames;
  // beyond that it throws CMIDIOutException.
  void SendShortMessageAt(uint32_t message, int64_t frame);
  // Starts stereoSamples as the cue at `frame` of the rendered stream, exactly; a frame
  // already rendered means the next one. Returns their length in frames.
  int StartCueAt(std::vector<float> stereoSamples, int64_t frame);
  // Silences the cue that plays.
  void StopCue() { engine_.Cue().Stop(); }
  // Frames rendered so far.
  int64_t RenderedFrames() const { return engine_.RenderedFrames(); }
  void SetVolume(uint32_t volume);
  // Records every note-on started in log (see CNoteStartLog), until set to nullptr.
  void SetNoteStartLog(CNoteStartLog* log) { engine_.SetNoteStartLog(log); }

  // Renders frames and appends them to out as interleaved 16-bit stereo.
  void RenderFrames(int frames, std::vector<int16_t>& interleavedStereoOut);

 private:
  CSynthEngine engine_;
};

}  // namespace midi
