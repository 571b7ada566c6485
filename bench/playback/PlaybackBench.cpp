// Timeline builds and MIDI file bytes for scores at the load command's size limit, and
// the cost of a timer tick. Allocations are counted around the tick loops.
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>

#include "notation/Score.h"
#include "playback/Player.h"
#include "tests/playback/AllocationCounter.h"
#ifdef TUNWICK_BENCH_MIDI_BYTES
#include "midi/MidiFileWriter.h"
#endif

namespace {

// A platform that does nothing; its clock is set by the benchmark.
class NullPlatform : public PlayerPlatform {
 public:
  void SetTimer1() override {}
  void KillTimer1() override {}
  int32_t ClockMs() override { return nowMs; }
  int32_t StartCueSound(const char*, int32_t) override { return 0; }
  void StopCueSound() override {}
  void SetVolume(uint32_t) override {}
  void SendShortMessage(uint32_t message, int32_t dueMs) override {
    benchmark::DoNotOptimize(message);
    benchmark::DoNotOptimize(dueMs);
  }
  void ShowMessage(const char* text) override { throw std::runtime_error(text); }
  int32_t nowMs = 0;
};

// One voice: phrases of 16 crotchets over the scale, as many as fit in 29999 characters.
std::string OneVoiceScore() {
  const std::string phrase = "1,1,1,2,1,3,1,4,1,5,1,6,1,7,1,10,1,1,1,2,1,3,1,4,1,5,1,6,1,7,1,10|";
  std::string text = "s=120,";
  while (text.size() + phrase.size() <= static_cast<size_t>(kTextBufferSize - 1)) text += phrase;
  return text;
}

// Phrases of 48 voices, each voice as long as a phrase's 10000 numbers and the 29999
// characters allow: every note of a later voice lands among the earlier voices' notes,
// the costliest layout there is.
std::string FortyEightVoiceScore() {
  const size_t limit = static_cast<size_t>(kTextBufferSize - 1);
  const int maxNotesPerVoice = kMaxPhraseTokens / 2 / kMaxVoices;
  std::string text;
  while (true) {
    // Longest voice for the room left: "1,1" then ",1,2" per further note, " &" between.
    const size_t room = limit - text.size() - (text.empty() ? 0 : 1);
    int notes = maxNotesPerVoice;
    while (notes > 0 && kMaxVoices * (4 * notes + 1) - 2 > static_cast<int>(room)) --notes;
    if (notes == 0) break;
    std::string voice = "1,1";
    for (int i = 1; i < notes; ++i) voice += ",1,2";
    if (!text.empty()) text += "|";
    for (int v = 0; v < kMaxVoices; ++v) text += (v == 0 ? "" : " &") + voice;
  }
  return text;
}

// A player with `text` loaded without sound.
struct Loaded {
  explicit Loaded(const std::string& text) {
    CPlayer::CBuildOnlyScope quietly(player);
    player.OnLoad(text);
    if (player.Timeline().count == 0) throw std::runtime_error("score did not load");
  }
  NullPlatform platform;
  CPlayer player{platform};
};

void BuildAndBytes(benchmark::State& state, const std::string& text, bool withBytes) {
  Loaded loaded(text);
  size_t bytes = 0;
  for (auto _ : state) {
    loaded.player.BuildScoreTimeline();
#ifdef TUNWICK_BENCH_MIDI_BYTES
    if (withBytes) {
      const std::vector<uint8_t> file = midi::MidiFileBytes(loaded.player.Timeline());
      bytes = file.size();
      benchmark::DoNotOptimize(file.data());
    }
#else
    (void)withBytes;
#endif
    benchmark::ClobberMemory();
  }
  state.counters["chars"] = static_cast<double>(text.size());
  state.counters["events"] = loaded.player.Timeline().count;
  state.counters["file_bytes"] = static_cast<double>(bytes);
}

void BM_ScoreTimeline_OneVoice(benchmark::State& s) { BuildAndBytes(s, OneVoiceScore(), false); }
void BM_ScoreTimeline_48Voices(benchmark::State& s) {
  BuildAndBytes(s, FortyEightVoiceScore(), false);
}
#ifdef TUNWICK_BENCH_MIDI_BYTES
void BM_ScoreTimelineAndMidiBytes_OneVoice(benchmark::State& s) {
  BuildAndBytes(s, OneVoiceScore(), true);
}
void BM_ScoreTimelineAndMidiBytes_48Voices(benchmark::State& s) {
  BuildAndBytes(s, FortyEightVoiceScore(), true);
}
BENCHMARK(BM_ScoreTimelineAndMidiBytes_OneVoice)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScoreTimelineAndMidiBytes_48Voices)->Unit(benchmark::kMillisecond);
#endif
BENCHMARK(BM_ScoreTimeline_OneVoice)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScoreTimeline_48Voices)->Unit(benchmark::kMillisecond);

// A tick between two events: one clock reading, one comparison.
void BM_TickNothingDue(benchmark::State& state) {
  Loaded loaded(OneVoiceScore());
  loaded.player.OnPlayAll();
  loaded.platform.nowMs += 100;
  loaded.player.OnTimer(1);  // sends the note at 0 ms; the next is due at 500 ms
  const long before = AllocationCount();
  for (auto _ : state) loaded.player.OnTimer(1);
  state.counters["allocations"] = static_cast<double>(AllocationCount() - before);
}
BENCHMARK(BM_TickNothingDue);

// Whole passes of the 48-voice score at 10 ms ticks, sends and end of pass included.
void BM_TicksOfAWholePass(benchmark::State& state) {
  Loaded loaded(FortyEightVoiceScore());
  long ticks = 0;
  const long before = AllocationCount();
  for (auto _ : state) {
    loaded.player.OnPlayAll();
    while (loaded.player.TimerRunning() == 1) {
      loaded.platform.nowMs += kTimerPeriodMs;
      loaded.player.OnTimer(1);
      ++ticks;
    }
  }
  state.counters["allocations"] = static_cast<double>(AllocationCount() - before);
  state.counters["ticks_per_pass"] = static_cast<double>(ticks) / state.iterations();
}
BENCHMARK(BM_TicksOfAWholePass)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
