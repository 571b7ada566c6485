// ParseScore on the built-in score and on two 29999-character scores (the most the load
// command passes). The side files are written by the program, measured in bench/cli.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/notation/BenchScores.h"
#include "notation/Score.h"
#include "notation/ScoreParseError.h"
#include "playback/Player.h"

namespace {

using benchscores::ShortPhrases;
using benchscores::VoicesAndChords;

void RunParse(benchmark::State& state, const std::string& text) {
  auto score = std::make_unique<Score>();
  try {
    ParseScore(text.data(), static_cast<int32_t>(text.size()), *score);
  } catch (const ScoreParseError& error) {
    state.SkipWithError(error.what());
    return;
  }
  for (auto _ : state) {
    ParseScore(text.data(), static_cast<int32_t>(text.size()), *score);
    benchmark::DoNotOptimize(score->phraseCount);
  }
  int64_t notes = 0;
  for (int32_t i = 0; i < score->phraseCount; ++i) notes += score->phrases[i].noteCount;
  state.counters["chars"] = static_cast<double>(text.size());
  state.counters["phrases"] = score->phraseCount;
  state.counters["notes"] = static_cast<double>(notes);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void BM_ParseScore_BuiltIn(benchmark::State& state) { RunParse(state, kBuiltInScore); }
void BM_ParseScore_ShortPhrases29999(benchmark::State& state) { RunParse(state, ShortPhrases()); }
void BM_ParseScore_VoicesAndChords29999(benchmark::State& state) {
  RunParse(state, VoicesAndChords());
}

}  // namespace

BENCHMARK(BM_ParseScore_BuiltIn)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseScore_ShortPhrases29999)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseScore_VoicesAndChords29999)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
