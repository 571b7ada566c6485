// Capture from ALSA's default device through RtAudio, where there is no sound server. RtAudio
// stops a stream by waiting for its thread, which may be stuck in a read of a device that
// stopped sending: the stream is therefore stopped on a thread of its own, and whoever
// closes it waits for that a short while at most.
#include <RtAudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/CaptureStream.h"

namespace capture {

namespace {

// How long closing waits for RtAudio to stop before it leaves it to stop by itself.
constexpr std::chrono::milliseconds kStopLimit{300};

// A stream error after the start (RtAudio has no user data for it): the stream stops, which
// Running() then shows; RtAudio must not throw on its own thread.
void OnStreamError(RtAudioError::Type, const std::string&) {}

unsigned ChooseRate(const RtAudio::DeviceInfo& info, unsigned preferred) {
  for (unsigned rate : info.sampleRates)
    if (rate == preferred) return rate;
  if (info.preferredSampleRate != 0) return info.preferredSampleRate;
  return info.sampleRates.empty() ? preferred : info.sampleRates.back();
}

// What RtAudio's thread reaches: shared with the thread that stops it, so that it outlives
// a close that did not wait for the end.
struct Shared {
  std::mutex lock;  // held while the sink runs, and to let it go
  BlockSink sink;
  std::atomic<unsigned> overflows{0};
  std::unique_ptr<RtAudio> audio;
  std::condition_variable stopped;
  bool done = false;
};

int OnBlock(void*, void* input, unsigned frames, double, unsigned status, void* data) {
  auto* shared = static_cast<Shared*>(data);
  if ((status & RTAUDIO_INPUT_OVERFLOW) != 0) shared->overflows.fetch_add(1);
  std::lock_guard<std::mutex> hold(shared->lock);
  if (input != nullptr && shared->sink) shared->sink(static_cast<const float*>(input), frames);
  return 0;
}

class CAlsaCapture : public CaptureStream {
 public:
  CAlsaCapture(std::shared_ptr<Shared> shared, unsigned rate)
      : shared_(std::move(shared)), rate_(rate) {}
  ~CAlsaCapture() override;

  unsigned SampleRate() const override { return rate_; }
  bool Running() const override { return shared_->audio->isStreamRunning(); }
  unsigned Overflows() const override { return shared_->overflows.load(); }

 private:
  std::shared_ptr<Shared> shared_;
  unsigned rate_ = 0;
};

CAlsaCapture::~CAlsaCapture() {
  {
    // No block reaches the sink after this.
    std::lock_guard<std::mutex> hold(shared_->lock);
    shared_->sink = nullptr;
  }
  std::thread([shared = shared_] {
    try {
      if (shared->audio->isStreamRunning()) shared->audio->stopStream();
      if (shared->audio->isStreamOpen()) shared->audio->closeStream();
    } catch (const RtAudioError&) {
      // Closing what is already broken: nothing is left to do.
    }
    std::lock_guard<std::mutex> hold(shared->lock);
    shared->done = true;
    shared->stopped.notify_all();
  }).detach();
  std::unique_lock<std::mutex> hold(shared_->lock);
  shared_->stopped.wait_for(hold, kStopLimit, [this] { return shared_->done; });
}

}  // namespace

std::unique_ptr<CaptureStream> OpenAlsaCapture(unsigned rate, BlockSink sink, std::string& error) {
  std::vector<RtAudio::Api> apis;
  RtAudio::getCompiledApi(apis);
  if (std::find(apis.begin(), apis.end(), RtAudio::LINUX_ALSA) == apis.end()) {
    error = "not built in";
    return nullptr;
  }
  try {
    auto shared = std::make_shared<Shared>();
    shared->audio = std::make_unique<RtAudio>(RtAudio::LINUX_ALSA);
    RtAudio& audio = *shared->audio;
    audio.showWarnings(false);
    if (audio.getDeviceCount() == 0) {
      error = "no devices";
      return nullptr;
    }
    const unsigned device = audio.getDefaultInputDevice();
    const RtAudio::DeviceInfo info = audio.getDeviceInfo(device);
    if (!info.probed || info.inputChannels == 0) {
      error = "no input device";
      return nullptr;
    }
    RtAudio::StreamParameters input;
    input.deviceId = device;
    input.nChannels = 1;
    RtAudio::StreamOptions options;
    options.streamName = "Tunwick";
    options.flags = RTAUDIO_MINIMIZE_LATENCY;
    unsigned frames = kCaptureBlockFrames;
    shared->sink = std::move(sink);
    audio.openStream(nullptr, &input, RTAUDIO_FLOAT32, ChooseRate(info, rate), &frames, &OnBlock,
                     shared.get(), &options, &OnStreamError);
    audio.startStream();
    return std::make_unique<CAlsaCapture>(shared, audio.getStreamSampleRate());
  } catch (const RtAudioError& failure) {
    error = failure.getMessage();
    return nullptr;
  }
}

}  // namespace capture
