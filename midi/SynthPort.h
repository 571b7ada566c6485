#pragma once

#include <string>
#include <vector>

#include "midi/MidiPort.h"
#include "midi/SynthEngine.h"

typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

namespace midi {

struct SynthPortOptions {
  std::string soundfont;             // "" = FindSoundfont()
  std::vector<std::string> drivers;  // empty = AudioDriverOrder()
  std::string audioFile;             // output file of FluidSynth's "file" driver
};

// The audio drivers tried, in order: TUNWICK_AUDIO_DRIVER alone when it is set, else
// PulseAudio (which PipeWire desktops also serve), ALSA, JACK.
std::vector<std::string> AudioDriverOrder();

// Audio buffering: 4 periods of 256 frames at 44.1 kHz, 23.2 ms in all.
constexpr int kAudioPeriodSize = 256;
constexpr int kAudioPeriods = 4;

// Device 0: the embedded synthesizer playing through a FluidSynth audio driver, with the cue
// sound mixed into its stream.
class CSynthPort : public MidiPort {
 public:
  explicit CSynthPort(SynthPortOptions options = {});
  ~CSynthPort() override;

  bool Open(MidiPortCallback callback, void* instance) override;
  bool SendShortMessage(uint32_t message) override;
  void SetVolume(uint32_t volume) override;
  void Close() override;
  std::string ErrorText() const override { return error_; }
  int AudioSampleRate() const override;
  void PlayCue(std::vector<float> stereoSamples) override;
  void StopCue() override;

  // The driver that is running, "" while closed.
  const std::string& driverName() const { return driverName_; }

 private:
  static int AudioCallback(void* data, int len, int nfx, float* fx[], int nout, float* out[]);

  SynthPortOptions options_;
  std::unique_ptr<CSynthEngine> engine_;
  fluid_audio_driver_t* driver_ = nullptr;
  std::string driverName_;
  int sampleRate_ = CSynthEngine::kSampleRate;
  std::string error_;
};

std::vector<std::string> SynthPortNames();
std::unique_ptr<MidiPort> CreateSynthPort(int index);

}  // namespace midi
