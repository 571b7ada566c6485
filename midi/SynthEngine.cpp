#include "midi/SynthEngine.h"

#include <fluidsynth.h>

#include "midi/FluidLog.h"
#include "midi/ShortMessage.h"

namespace midi {

CSynthEngine::CSynthEngine() {
  CaptureFluidLog();
  settings_ = new_fluid_settings();
  if (settings_ != nullptr)
    fluid_settings_setnum(settings_, "synth.sample-rate", static_cast<double>(kSampleRate));
}

CSynthEngine::~CSynthEngine() {
  if (synth_ != nullptr) delete_fluid_synth(synth_);
  if (settings_ != nullptr) delete_fluid_settings(settings_);
}

bool CSynthEngine::Load(const std::string& soundfontPath, std::string& error) {
  const uint64_t errorsBefore = FluidErrorCount();
  auto fail = [&](const char* fallback) {
    error = FluidErrorSince(errorsBefore);
    if (error.empty()) error = fallback;
    if (synth_ != nullptr) delete_fluid_synth(synth_);
    synth_ = nullptr;
    return false;
  };
  if (settings_ == nullptr) return fail("Unable to create the synthesizer's settings.");
  if (synth_ != nullptr) return true;
  synth_ = new_fluid_synth(settings_);
  if (synth_ == nullptr) return fail("Unable to create the synthesizer.");
  if (soundfontPath.empty()) return fail("No General MIDI soundfont found.");
  if (fluid_synth_sfload(synth_, soundfontPath.c_str(), 1) == FLUID_FAILED)
    return fail("Unable to load the soundfont.");
  fluid_synth_set_gain(synth_, kFullGain);
  return true;
}

bool CSynthEngine::SendShortMessage(uint32_t message, std::string& error) {
  if (synth_ == nullptr) {
    error = "The synthesizer is not loaded.";
    return false;
  }
  ShortMessageBytes m;
  if (!DecodeShortMessage(message, m)) return true;
  const int channel = m.bytes[0] & 0x0F;
  const int data1 = m.bytes[1];
  const int data2 = m.bytes[2];
  // Like any MIDI receiver the synthesizer takes every valid message: a note it cannot sound
  // (every voice busy, no instrument for the program) is dropped, not reported as a failure.
  switch (m.bytes[0] & 0xF0) {
    case 0x80:
      fluid_synth_noteoff(synth_, channel, data1);
      break;
    case 0x90:
      if (data2 == 0)
        fluid_synth_noteoff(synth_, channel, data1);
      else
        fluid_synth_noteon(synth_, channel, data1, data2);
      break;
    case 0xA0:
      fluid_synth_key_pressure(synth_, channel, data1, data2);
      break;
    case 0xB0:
      fluid_synth_cc(synth_, channel, data1, data2);
      break;
    case 0xC0:
      fluid_synth_program_change(synth_, channel, data1);
      break;
    case 0xD0:
      fluid_synth_channel_pressure(synth_, channel, data1);
      break;
    case 0xE0:
      fluid_synth_pitch_bend(synth_, channel, data1 | (data2 << 7));
      break;
    default:
      if (m.bytes[0] == 0xFF) fluid_synth_system_reset(synth_);
      break;
  }
  return true;
}

void CSynthEngine::SetVolume(uint32_t volume) {
  if (synth_ == nullptr) return;
  fluid_synth_set_gain(synth_, kFullGain * static_cast<float>(volume & 0xFFFF) / 65535.0f);
}

void CSynthEngine::Render(int frames, float* left, float* right) {
  float* out[2] = {left, right};
  Process(frames, 0, nullptr, 2, out);
}

int CSynthEngine::Process(int frames, int nfx, float* fx[], int nout, float* out[]) {
  if (synth_ == nullptr || nout < 2) return FLUID_FAILED;
  int result;
  if (nfx == 0) {
    // The drivers other than JACK give no effects buffers: mix reverb and chorus into the
    // dry output.
    float* effects[4] = {out[0], out[1], out[0], out[1]};
    result = fluid_synth_process(synth_, frames, 4, effects, nout, out);
  } else {
    result = fluid_synth_process(synth_, frames, nfx, fx, nout, out);
  }
  cue_.MixInto(out[0], out[1], frames);
  return result;
}

}  // namespace midi
