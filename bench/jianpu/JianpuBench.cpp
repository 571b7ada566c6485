// What the score view does after a pause in typing: the box's text read into a sheet and laid
// out into lines, for scores at the load command's limit.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/notation/BenchScores.h"
#include "jianpu/SheetLayout.h"

namespace {

constexpr double kViewWidth = 296.0;  // the view's default width, in layout units

void LayOut(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    const jianpu::Sheet sheet = jianpu::ReadSheet(text);
    benchmark::DoNotOptimize(jianpu::LayOutLines(sheet, kViewWidth));
  }
}

void BM_Sheet_ShortPhrases29999(benchmark::State& state) {
  LayOut(state, benchscores::ShortPhrases());
}

void BM_Sheet_VoicesAndChords29999(benchmark::State& state) {
  LayOut(state, benchscores::VoicesAndChords());
}

// One phrase of 4990 half-beat notes, broken over some 300 lines.
void BM_Sheet_OneLongPhrase(benchmark::State& state) {
  std::string text;
  for (int i = 0; i < 4990; ++i) text += (i > 0 ? ",0.1," : "0.1,") + std::to_string(1 + i % 7);
  LayOut(state, text);
}

// One phrase of 900 half-beat notes with words in the most verses, a Chinese syllable to
// each note, in 2/4: the words and bar lines of some 60 lines (the text's limit allows no
// more words).
void BM_Sheet_LongPhraseEightVerses(benchmark::State& state) {
  std::string notes;
  std::string verse;
  for (int i = 0; i < 900; ++i) {
    notes += (i > 0 ? ",0.1," : "0.1,") + std::to_string(1 + i % 7);
    verse += i % 2 == 0 ? "花" : "好";
  }
  std::string text = "/*拍号: 2/4*/";
  for (int v = 1; v <= 8; ++v) text += "/*词" + std::to_string(v) + ": " + verse + "*/";
  LayOut(state, text + notes);
}

// A score with a refused phrase in every tenth: each is blanked and the text parsed again.
void BM_Sheet_RefusedPhrases(benchmark::State& state) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += i % 10 == 5 ? "1,9|" : "0.1,1,0.1,2,1,3|";
  LayOut(state, text);
}

}  // namespace

BENCHMARK(BM_Sheet_ShortPhrases29999)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sheet_VoicesAndChords29999)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sheet_OneLongPhrase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sheet_LongPhraseEightVerses)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sheet_RefusedPhrases)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
