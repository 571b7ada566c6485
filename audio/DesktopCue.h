#pragma once

#include <functional>
#include <memory>
#include <vector>

namespace audio {

// Plays cue sounds through the desktop's sound server by themselves, for a device without
// audio output of its own (an ALSA port).
class DesktopCue {
 public:
  virtual ~DesktopCue() = default;
  // The rate the cue's samples are wanted at.
  virtual int SampleRate() const = 0;
  // Starts interleaved stereo samples as soon as the stream can play them, in place of any
  // cue still sounding. Never waits.
  virtual void Start(std::vector<float> stereoSamples) = 0;
  // Silences the cue. Safe from another thread.
  virtual void Stop() = 0;
};

using DesktopCueFactory = std::function<std::unique_ptr<DesktopCue>()>;

// A stream of its own through the audio outputs in their usual order; nullptr where none
// starts.
std::unique_ptr<DesktopCue> OpenDesktopCue();

}  // namespace audio
