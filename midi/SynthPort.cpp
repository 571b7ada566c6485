#include "midi/SynthPort.h"

#include <fluidsynth.h>
#include <limits.h>

#include <cmath>
#include <cstdlib>
#include <thread>

#include "audio/AlsaLog.h"
#include "audio/StreamClock.h"
#include "midi/Soundfont.h"

namespace midi {

namespace {

static_assert(audio::CStreamClock::kNoFrame == CSynthEngine::kNextFrame &&
                  audio::CStreamClock::kNoFrame == audio::CCueMixer::kNextFrame,
              "a time not yet on the stream's clock means the next frame");

// How long Open waits for the output's timing to settle.
constexpr auto kFirstMeasurementWait = std::chrono::milliseconds(500);

}  // namespace

int LatencySettingMs() {
  const char* value = std::getenv("TUNWICK_LATENCY_MS");
  if (value == nullptr || *value == '\0') return 0;
  char* end = nullptr;
  const long ms = std::strtol(value, &end, 10);
  if (*end != '\0' || ms < kOutputLatencyMs || ms > kMaxLatencyMs) return 0;
  return static_cast<int>(ms);
}

CSynthPort::CSynthPort(SynthPortOptions options) : options_(std::move(options)) {}

CSynthPort::~CSynthPort() { Close(); }

bool CSynthPort::Open(MidiPortCallback, void*) {
  Close();
  error_.clear();
  audio::SilenceAlsaLibrary();
  // The synthesizer plays no long messages, so it never reports one done: the callback is
  // not needed.
  const std::string soundfont = options_.soundfont.empty() ? FindSoundfont() : options_.soundfont;
  auto engine = std::make_unique<CSynthEngine>();
  if (!engine->Load(soundfont, error_)) return false;
  if (!options_.audioFile.empty())
    fluid_settings_setstr(engine->Settings(), "audio.file.name", options_.audioFile.c_str());
  engine_ = std::move(engine);
  fixedLatencyMs_ = options_.latencyMs > 0 ? options_.latencyMs : LatencySettingMs();

  const std::vector<std::string> drivers =
      options_.drivers.empty() ? audio::AudioDriverOrder() : options_.drivers;
  auto attempt = [this](const std::string& name, std::string& complaint) {
    audio::AudioOutputRequest request;
    request.driver = name;
    request.streamName = "Tunwick synthesizer";
    request.sampleRate = CSynthEngine::kSampleRate;
    request.settings = engine_->Settings();
    if (fixedLatencyMs_ > 0) request.leadSeconds = (fixedLatencyMs_ - kLateAllowanceMs) / 1000.0;
    // The clock takes the output's timing reports from its first one on.
    clock_ = std::make_unique<audio::CStreamClock>(request.sampleRate);
    activeClock_.store(clock_.get(), std::memory_order_release);
    std::unique_ptr<audio::AudioOutput> output =
        options_.openOutput ? options_.openOutput(request, *this, complaint)
                            : OpenAudioOutput(request, *this, complaint);
    if (!output) {
      activeClock_.store(nullptr, std::memory_order_release);
      clock_.reset();
    }
    return output;
  };
  output_ = audio::OpenFirstWorkingOutput(drivers, attempt, driverName_, error_);
  if (!output_) {
    engine_.reset();
    return false;
  }
  if (output_->SampleRate() != clock_->SampleRate()) {
    // A JACK server imposed its own rate: a clock at that rate starts over. The first one
    // stays until Close, as the audio thread may still be using it.
    retiredClock_ = std::move(clock_);
    clock_ = std::make_unique<audio::CStreamClock>(output_->SampleRate());
    activeClock_.store(clock_.get(), std::memory_order_release);
  }
  // The first notes need the stream's timing, settled.
  const auto giveUp = std::chrono::steady_clock::now() + kFirstMeasurementWait;
  while (clock_->Observations() < audio::CStreamClock::kSettleCount && output_->Running() &&
         std::chrono::steady_clock::now() < giveUp)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

int32_t CSynthPort::OutputLatencyMs() const {
  if (!output_) return 0;
  const auto fitting =
      static_cast<int32_t>(std::ceil(output_->LeadSeconds() * 1000.0)) + kLateAllowanceMs;
  return std::max(fixedLatencyMs_ > 0 ? fixedLatencyMs_ : kOutputLatencyMs, fitting);
}

int CSynthPort::Process(int frames, int nfx, float* fx[], int nout, float* out[]) {
  return engine_->Process(frames, nfx, fx, nout, out);
}

void CSynthPort::Observe(int64_t steadyNs, double heardFrame) {
  if (audio::CStreamClock* clock = activeClock_.load(std::memory_order_acquire))
    clock->Observe(steadyNs, heardFrame);
}

bool CSynthPort::FrameHeardAt(int64_t steadyNs, double& frame) const {
  const audio::CStreamClock* clock = activeClock_.load(std::memory_order_acquire);
  if (clock == nullptr || clock->Observations() == 0) return false;
  frame = static_cast<double>(clock->FrameAt(steadyNs));
  return true;
}

int64_t CSynthPort::FrameFor(std::chrono::steady_clock::time_point due) const {
  const audio::CStreamClock* clock = activeClock_.load(std::memory_order_acquire);
  if (clock == nullptr) return audio::CStreamClock::kNoFrame;
  return clock->FrameAt(audio::SteadyNs(due) + static_cast<int64_t>(OutputLatencyMs()) * 1000000);
}

bool CSynthPort::SendShortMessage(uint32_t message) {
  return SendShortMessageAt(message, std::chrono::steady_clock::now());
}

bool CSynthPort::SendShortMessageAt(uint32_t message, std::chrono::steady_clock::time_point due) {
  if (!engine_) {
    error_ = "The synthesizer is not open.";
    return false;
  }
  if (!output_->Running()) {
    error_ = "The synthesizer's sound output has stopped.";
    return false;
  }
  // Before the stream's first timing measurement a message plays at once.
  if (!engine_->Schedule(message, FrameFor(due), audio::SteadyNs(due), error_)) return false;
  output_->Wake();
  return true;
}

void CSynthPort::SetVolume(uint32_t volume) {
  if (engine_) engine_->SetVolume(volume);
}

void CSynthPort::Close() {
  // The output's thread stops before the clock and the synthesizer it uses go away.
  output_.reset();
  activeClock_.store(nullptr, std::memory_order_release);
  clock_.reset();
  retiredClock_.reset();
  if (engine_) engine_->Cue().Stop();
  engine_.reset();
  fixedLatencyMs_ = 0;
  driverName_.clear();
}

int CSynthPort::AudioSampleRate() const { return output_ ? output_->SampleRate() : 0; }

void CSynthPort::StartCue(std::vector<float> stereoSamples,
                          std::chrono::steady_clock::time_point due) {
  if (!output_ || stereoSamples.empty()) return;
  engine_->Cue().Start(std::move(stereoSamples), FrameFor(due));
  output_->Wake();
}

void CSynthPort::StopCue() {
  if (engine_) engine_->Cue().Stop();
}

void CSynthPort::SetNoteStartLog(CNoteStartLog* log) {
  if (engine_) engine_->SetNoteStartLog(log);
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
