#include "capture/AudioCapture.h"

#include <RtAudio.h>

#include <algorithm>
#include <vector>

namespace capture {

const char kNoInputDeviceMessage[] = "No audio input device is available";

namespace {

// Where the default input is looked for, in order: the sound server first, so that the
// desktop's choice of microphone holds.
struct Backend {
  const char* name;
  RtAudio::Api api;
};
const Backend kBackends[] = {
    {"PulseAudio", RtAudio::LINUX_PULSE},
    {"ALSA", RtAudio::LINUX_ALSA},
};

bool Compiled(RtAudio::Api api) {
  std::vector<RtAudio::Api> apis;
  RtAudio::getCompiledApi(apis);
  return std::find(apis.begin(), apis.end(), api) != apis.end();
}

// A stream error after the start (RtAudio has no user data for it): the stream stops, which
// Running() then shows; RtAudio must not throw on its own thread.
void OnStreamError(RtAudioError::Type, const std::string&) {}

unsigned ChooseRate(const RtAudio::DeviceInfo& info) {
  for (unsigned rate : info.sampleRates)
    if (rate == CAudioCapture::kPreferredRate) return rate;
  if (info.preferredSampleRate != 0) return info.preferredSampleRate;
  return info.sampleRates.empty() ? CAudioCapture::kPreferredRate : info.sampleRates.back();
}

}  // namespace

CAudioCapture::CAudioCapture() = default;

CAudioCapture::~CAudioCapture() { Stop(); }

void CAudioCapture::Start(BlockSink sink) {
  Stop();
  std::string reasons;
  auto note = [&reasons](const char* backend, const std::string& why) {
    reasons += (reasons.empty() ? "" : "; ") + std::string(backend) + ": " + why;
  };
  for (const Backend& backend : kBackends) {
    if (!Compiled(backend.api)) continue;
    try {
      auto audio = std::make_unique<RtAudio>(backend.api);
      audio->showWarnings(false);
      if (audio->getDeviceCount() == 0) {
        note(backend.name, "no devices");
        continue;
      }
      const unsigned device = audio->getDefaultInputDevice();
      const RtAudio::DeviceInfo info = audio->getDeviceInfo(device);
      if (!info.probed || info.inputChannels == 0) {
        note(backend.name, "no input device");
        continue;
      }
      RtAudio::StreamParameters input;
      input.deviceId = device;
      input.nChannels = 1;
      RtAudio::StreamOptions options;
      options.streamName = "Tunwick";
      options.flags = RTAUDIO_MINIMIZE_LATENCY;
      unsigned frames = kBlockFrames;
      const unsigned rate = ChooseRate(info);
      sink_ = sink;
      overflows_ = 0;
      audio->openStream(nullptr, &input, RTAUDIO_FLOAT32, rate, &frames, &CAudioCapture::OnBlock,
                        this, &options, &OnStreamError);
      audio->startStream();
      audio_ = std::move(audio);
      sampleRate_ = audio_->getStreamSampleRate();
      backendName_ = backend.name;
      return;
    } catch (const RtAudioError& error) {
      sink_ = nullptr;
      note(backend.name, error.getMessage());
    }
  }
  throw AudioCaptureError(std::string(kNoInputDeviceMessage) +
                          (reasons.empty() ? "." : " (" + reasons + ")."));
}

void CAudioCapture::Stop() {
  if (audio_ == nullptr) return;
  try {
    if (audio_->isStreamRunning()) audio_->stopStream();
    if (audio_->isStreamOpen()) audio_->closeStream();
  } catch (const RtAudioError&) {
    // Closing what is already broken: nothing is left to do.
  }
  audio_.reset();
  sink_ = nullptr;
  sampleRate_ = 0;
  backendName_.clear();
}

bool CAudioCapture::Running() const { return audio_ != nullptr && audio_->isStreamRunning(); }

int CAudioCapture::OnBlock(void*, void* input, unsigned frames, double, unsigned status,
                           void* self) {
  auto* capture = static_cast<CAudioCapture*>(self);
  if ((status & RTAUDIO_INPUT_OVERFLOW) != 0) capture->overflows_.fetch_add(1);
  if (input != nullptr && capture->sink_) capture->sink_(static_cast<const float*>(input), frames);
  return 0;
}

}  // namespace capture
