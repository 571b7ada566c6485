#include "midi/SynthPort.h"

#include <fluidsynth.h>
#include <limits.h>

#include <chrono>
#include <cstdlib>

#include "midi/AlsaLog.h"
#include "midi/FluidLog.h"
#include "midi/Soundfont.h"

namespace midi {

std::vector<std::string> AudioDriverOrder() {
  if (const char* chosen = std::getenv("TUNWICK_AUDIO_DRIVER"); chosen != nullptr && *chosen)
    return {chosen};
  return {"pulseaudio", "alsa", "jack"};
}

CSynthPort::CSynthPort(SynthPortOptions options) : options_(std::move(options)) {}

CSynthPort::~CSynthPort() { Close(); }

bool CSynthPort::Open(MidiPortCallback, void*) {
  Close();
  error_.clear();
  SilenceAlsaLibrary();
  // The synthesizer plays no long messages, so it never reports one done: the callback is
  // not needed.
  const std::string soundfont = options_.soundfont.empty() ? FindSoundfont() : options_.soundfont;
  auto engine = std::make_unique<CSynthEngine>();
  if (!engine->Load(soundfont, error_)) return false;

  fluid_settings_t* settings = engine->settings();
  fluid_settings_setint(settings, "audio.period-size", kAudioPeriodSize);
  fluid_settings_setint(settings, "audio.periods", kAudioPeriods);
  fluid_settings_setint(settings, "audio.jack.autoconnect", 1);
  if (!options_.audioFile.empty())
    fluid_settings_setstr(settings, "audio.file.name", options_.audioFile.c_str());

  engine_ = std::move(engine);
  const std::vector<std::string> drivers =
      options_.drivers.empty() ? AudioDriverOrder() : options_.drivers;
  std::string firstError;
  for (const std::string& name : drivers) {
    const uint64_t errorsBefore = FluidErrorCount();
    if (fluid_settings_setstr(settings, "audio.driver", name.c_str()) == FLUID_OK) {
      driver_ = new_fluid_audio_driver2(settings, &CSynthPort::AudioCallback, engine_.get());
      if (driver_ != nullptr) {
        driverName_ = name;
        // A JACK server imposes its own rate on the synthesizer; the cue follows it.
        double rate = CSynthEngine::kSampleRate;
        fluid_settings_getnum(settings, "synth.sample-rate", &rate);
        sampleRate_ = static_cast<int>(rate);
        return true;
      }
    }
    // Keep the most preferred driver's complaint: on a desktop it is the one that matters.
    if (firstError.empty()) {
      const std::string text = FluidErrorSince(errorsBefore);
      firstError = text.empty() ? "Unable to start the audio driver \"" + name + "\"." : text;
    }
  }
  engine_.reset();
  error_ = firstError.empty() ? "No audio driver to try." : firstError;
  return false;
}

int CSynthPort::AudioCallback(void* data, int len, int nfx, float* fx[], int nout, float* out[]) {
  return static_cast<CSynthEngine*>(data)->Process(len, nfx, fx, nout, out);
}

bool CSynthPort::SendShortMessage(uint32_t message) {
  if (!engine_) {
    error_ = "The synthesizer is not open.";
    return false;
  }
  return engine_->SendShortMessage(message, error_);
}

void CSynthPort::SetVolume(uint32_t volume) {
  if (engine_) engine_->SetVolume(volume);
}

void CSynthPort::Close() {
  // Deleting the driver stops its thread (and finishes a file being written) before the
  // synthesizer it renders goes away.
  if (driver_ != nullptr) {
    delete_fluid_audio_driver(driver_);
    driver_ = nullptr;
  }
  if (engine_) engine_->cue().Stop();
  engine_.reset();
  driverName_.clear();
}

int CSynthPort::AudioSampleRate() const { return driver_ != nullptr ? sampleRate_ : 0; }

void CSynthPort::PlayCue(std::vector<float> stereoSamples) {
  if (driver_ == nullptr || stereoSamples.empty()) return;
  const auto length =
      std::chrono::milliseconds(stereoSamples.size() / 2 * 1000 / static_cast<size_t>(sampleRate_));
  CCueMixer& cue = engine_->cue();
  cue.Start(std::move(stereoSamples));
  // A driver that stalls (a suspended sound server) must not hold the caller for ever.
  if (!cue.WaitUntilEnded(length + std::chrono::seconds(2))) cue.Stop();
}

void CSynthPort::StopCue() {
  if (engine_) engine_->cue().Stop();
}

std::vector<std::string> SynthPortNames() {
  const std::string soundfont = FindSoundfont();
  if (soundfont.empty()) return {};
  // Name the file itself, not the system's alternative link to it.
  char resolved[PATH_MAX];
  const std::string file = realpath(soundfont.c_str(), resolved) != nullptr ? resolved : soundfont;
  const size_t slash = file.rfind('/');
  return {"Tunwick synthesizer (" + file.substr(slash == std::string::npos ? 0 : slash + 1) + ")"};
}

std::unique_ptr<MidiPort> CreateSynthPort(int index) {
  if (index != 0) return nullptr;
  return std::make_unique<CSynthPort>();
}

}  // namespace midi
