#include "audio/FluidDriverOutput.h"

#include <fluidsynth.h>

#include <chrono>

#include "audio/FluidLog.h"
#include "audio/StreamClock.h"

namespace audio {

namespace {

class CFluidDriverOutput : public AudioOutput {
 public:
  explicit CFluidDriverOutput(AudioSource& source) : source_(source) {}
  ~CFluidDriverOutput() override {
    // Deleting the driver stops its thread (and finishes a file being written).
    if (driver_ != nullptr) delete_fluid_audio_driver(driver_);
  }

  bool Start(const AudioOutputRequest& request, std::string& error) {
    fluid_settings_t* settings = request.settings;
    if (settings == nullptr) {
      error = "No settings for the audio driver \"" + request.driver + "\".";
      return false;
    }
    fluid_settings_setint(settings, "audio.period-size", kAudioPeriodSize);
    fluid_settings_setint(settings, "audio.periods", kAudioPeriods);
    fluid_settings_setint(settings, "audio.jack.autoconnect", 1);
    const uint64_t errorsBefore = FluidErrorCount();
    if (fluid_settings_setstr(settings, "audio.driver", request.driver.c_str()) == FLUID_OK)
      driver_ = new_fluid_audio_driver2(settings, &CFluidDriverOutput::Callback, this);
    if (driver_ == nullptr) {
      error = FluidErrorSince(errorsBefore);
      if (error.empty()) error = "Unable to start the audio driver \"" + request.driver + "\".";
      return false;
    }
    // A JACK server imposes its own rate.
    double rate = request.sampleRate;
    fluid_settings_getnum(settings, "synth.sample-rate", &rate);
    rate_ = static_cast<int>(rate);
    return true;
  }

  int SampleRate() const override { return rate_; }
  double LeadSeconds() const override {
    return static_cast<double>(kAudioPeriodSize) * kAudioPeriods / rate_;
  }

 private:
  static int Callback(void* data, int len, int nfx, float* fx[], int nout, float* out[]) {
    auto* self = static_cast<CFluidDriverOutput*>(data);
    // The driver asks for a period when the one before it has gone into its buffer: what is
    // rendered now is heard about a buffer's length from now.
    self->source_.Observe(SteadyNs(), static_cast<double>(self->rendered_) -
                                          static_cast<double>(kAudioPeriodSize) * kAudioPeriods);
    self->rendered_ += len;
    return self->source_.Process(len, nfx, fx, nout, out);
  }

  AudioSource& source_;
  fluid_audio_driver_t* driver_ = nullptr;
  int rate_ = 44100;
  int64_t rendered_ = 0;  // the driver's thread only
};

}  // namespace

std::unique_ptr<AudioOutput> OpenFluidDriverOutput(const AudioOutputRequest& request,
                                                   AudioSource& source, std::string& error) {
  auto output = std::make_unique<CFluidDriverOutput>(source);
  if (!output->Start(request, error)) return nullptr;
  return output;
}

}  // namespace audio
