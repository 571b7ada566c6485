#pragma once

#include <cstdint>
#include <string>

#include "midi/CueMixer.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace midi {

// The embedded synthesizer: FluidSynth with one General MIDI soundfont, rendering at 44.1 kHz
// with the cue mixer added to its output. The live port and the offline renderer share it.
class CSynthEngine {
 public:
  static constexpr int kSampleRate = 44100;
  // Output gain at full volume (0xFFFF); FluidSynth's own default of 0.2 is rather quiet for
  // a single melody line.
  static constexpr float kFullGain = 0.8f;

  CSynthEngine();
  ~CSynthEngine();
  CSynthEngine(const CSynthEngine&) = delete;
  CSynthEngine& operator=(const CSynthEngine&) = delete;

  // Creates the synthesizer and loads the soundfont; false with error set on failure.
  bool Load(const std::string& soundfontPath, std::string& error);
  bool Loaded() const { return synth_ != nullptr; }

  // Plays one packed short message; false with error set only when nothing is loaded. A word
  // that is no valid MIDI message, or a note no voice is free for, is dropped without error.
  bool SendShortMessage(uint32_t message, std::string& error);
  // The low word sets the level of both channels (0xFFFF full, 0 silent); the high word,
  // which the player leaves 0, is ignored so that no channel is muted.
  void SetVolume(uint32_t volume);

  // Renders frames into left and right, which must hold zeros, and adds the cue.
  void Render(int frames, float* left, float* right);
  // The same for an audio driver's buffers (dry and effects channels as FluidSynth passes them).
  int Process(int frames, int nfx, float* fx[], int nout, float* out[]);

  fluid_settings_t* settings() const { return settings_; }
  CCueMixer& cue() { return cue_; }

 private:
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  CCueMixer cue_;
};

}  // namespace midi
