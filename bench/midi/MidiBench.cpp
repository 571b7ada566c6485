// The MIDI output layer's costs: how long Open takes to be ready (soundfont loaded, audio
// driver running or failed), and what one SendShortMessage costs on the caller's thread.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "midi/MidiOutDevice.h"
#include "midi/OfflineSynth.h"
#include "midi/SynthEngine.h"
#include "midi/SynthPort.h"

namespace {

// Open of device 0 as the program does it. Where no sound output exists every driver is
// tried and fails, so this is the whole way to the error message.
void BM_OpenToReady(benchmark::State& state) {
  int failures = 0;
  for (auto _ : state) {
    CMIDIOutDevice device;
    try {
      device.Open(0);
    } catch (const std::exception&) {
      ++failures;
    }
    state.PauseTiming();
    device.Close();
    state.ResumeTiming();
  }
  state.counters["failed_opens"] = failures;
}
BENCHMARK(BM_OpenToReady)->Unit(benchmark::kMillisecond)->Iterations(20);

// The soundfont load alone: the part of Open that does not depend on the sound output.
void BM_SoundfontLoad(benchmark::State& state) {
  for (auto _ : state) {
    midi::COfflineSynth synth(TUNWICK_BENCH_SOUNDFONT);
    benchmark::DoNotOptimize(&synth);
  }
}
BENCHMARK(BM_SoundfontLoad)->Unit(benchmark::kMillisecond)->Iterations(20);

// The synthesizer port with an audio thread of our own in place of a sound card: it renders
// one 256-frame period every 5.8 ms, as a driver would, while the caller sends.
class CPacedSynthPort : public midi::MidiPort {
 public:
  bool Open(midi::MidiPortCallback, void*) override {
    if (!engine_.Load(TUNWICK_BENCH_SOUNDFONT, error_)) return false;
    running_ = true;
    audio_ = std::thread([this] {
      std::vector<float> left(256), right(256);
      auto next = std::chrono::steady_clock::now();
      while (running_) {
        std::fill(left.begin(), left.end(), 0.0f);
        std::fill(right.begin(), right.end(), 0.0f);
        engine_.Render(256, left.data(), right.data());
        next += std::chrono::microseconds(256 * 1000000 / midi::CSynthEngine::kSampleRate);
        std::this_thread::sleep_until(next);
      }
    });
    return true;
  }
  bool SendShortMessage(uint32_t message) override {
    return engine_.SendShortMessage(message, error_);
  }
  void SetVolume(uint32_t volume) override { engine_.SetVolume(volume); }
  void Close() override {
    running_ = false;
    if (audio_.joinable()) audio_.join();
  }
  std::string ErrorText() const override { return error_; }

 private:
  midi::CSynthEngine engine_;
  std::thread audio_;
  std::atomic<bool> running_{false};
  std::string error_;
};

// Sends come in batches of this many; between batches, with the timing paused, the audio
// thread takes the queued messages, whose queue holds at most CSynthEngine::kQueueCapacity.
// They are note-offs: a send costs the same, and no voices pile up for the audio thread.
constexpr int kSendBatch = 1000;

void SendBatches(benchmark::State& state, CMIDIOutDevice& device, std::chrono::milliseconds drain) {
  uint32_t pitch = 48;
  for (auto _ : state) {
    for (int i = 0; i < kSendBatch; ++i) {
      device.SendShortMessage(0x000080u | (pitch << 8));  // note-off, channel 1
      pitch = pitch == 84 ? 48 : pitch + 1;
    }
    state.PauseTiming();
    std::this_thread::sleep_for(drain);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kSendBatch);
}

void BM_SendShortMessage(benchmark::State& state) {
  CMIDIOutDevice device([](int) { return std::make_unique<CPacedSynthPort>(); });
  device.Open(0);
  SendBatches(state, device, std::chrono::milliseconds(15));
  device.Close();
}
BENCHMARK(BM_SendShortMessage)->Unit(benchmark::kMicrosecond)->Iterations(200);

// The same through the real device 0, where this machine has sound output; its messages wait
// for the output latency before the audio thread takes them.
void BM_SendShortMessageLive(benchmark::State& state) {
  CMIDIOutDevice device;
  try {
    device.Open(0);
  } catch (const std::exception& e) {
    state.SkipWithError((std::string("no sound output: ") + e.what()).c_str());
    return;
  }
  SendBatches(state, device, std::chrono::milliseconds(device.OutputLatencyMs() + 30));
}
BENCHMARK(BM_SendShortMessageLive)->Unit(benchmark::kMicrosecond)->Iterations(200);

// A send while the device is closed: the state check alone.
void BM_SendShortMessageClosed(benchmark::State& state) {
  CMIDIOutDevice device;
  for (auto _ : state) device.SendShortMessage(0x7F3C90);
}
BENCHMARK(BM_SendShortMessageClosed);

}  // namespace

BENCHMARK_MAIN();
