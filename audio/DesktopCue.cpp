#include "audio/DesktopCue.h"

#include <fluidsynth.h>

#include <string>

#include "audio/AlsaLog.h"
#include "audio/AudioOutput.h"
#include "audio/CueMixer.h"
#include "audio/FluidLog.h"

namespace audio {

namespace {

constexpr int kCueRate = 44100;

class CServerCue : public DesktopCue, private AudioSource {
 public:
  CServerCue() {
    CaptureFluidLog();
    settings_ = new_fluid_settings();
    if (settings_ != nullptr)
      fluid_settings_setnum(settings_, "synth.sample-rate", static_cast<double>(kCueRate));
  }
  ~CServerCue() override {
    output_.reset();  // stops the audio thread before what it reads goes away
    if (settings_ != nullptr) delete_fluid_settings(settings_);
  }

  bool Open() {
    SilenceAlsaLibrary();
    auto attempt = [this](const std::string& driver, std::string& error) {
      AudioOutputRequest request;
      request.driver = driver;
      request.streamName = "Tunwick cue";
      request.sampleRate = kCueRate;
      request.settings = settings_;
      return OpenAudioOutput(request, *this, error);
    };
    std::string driver;
    std::string error;
    output_ = OpenFirstWorkingOutput(AudioDriverOrder(), attempt, driver, error);
    return output_ != nullptr;
  }

  int SampleRate() const override { return output_ ? output_->SampleRate() : kCueRate; }
  void Start(std::vector<float> stereoSamples) override { mixer_.Start(std::move(stereoSamples)); }
  void Stop() override { mixer_.Stop(); }

 private:
  int Process(int frames, int, float*[], int nout, float* out[]) override {
    if (nout >= 2) mixer_.MixInto(out[0], out[1], frames, rendered_);
    rendered_ += frames;
    return 0;
  }

  fluid_settings_t* settings_ = nullptr;
  CCueMixer mixer_;
  int64_t rendered_ = 0;  // the audio thread only
  std::unique_ptr<AudioOutput> output_;
};

}  // namespace

std::unique_ptr<DesktopCue> OpenDesktopCue() {
  auto cue = std::make_unique<CServerCue>();
  if (!cue->Open()) return nullptr;
  return cue;
}

}  // namespace audio
