// ParseScore on the built-in score and on two 29999-character scores (the most the load
// command passes), side files included; and the side-file writing on its own.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "notation/Score.h"
#include "notation/ScoreParseError.h"
#include "notation/SideTexts.h"

namespace {

constexpr size_t kLoadLimit = 29999;

const char kBuiltInScore[] =
    "s=100,0.1,1,0.1,2,0.1,3,0.1,4,0.1,5,0.1,6,0.1,7,1,10|0.1,1,0.1,3,0.1,5,0.1,3,1,1|1,1,1,3,1,5,"
    "1,3,"
    "0.1,1,0.1,3,0.1,5,0.1,3,10,1|0.11,10,0.01,10,0.11,5,0.01,5,0.11,3,0.01,3,0.11,1,0.01,1,0.11,5,"
    "0.01,"
    "4,0.11,3,0.01,2,10,1";

// Appends phrases from `next` while they fit, then pads with blanks to exactly the limit.
template <typename Next>
std::string FillTo(Next next) {
  std::string text;
  for (int i = 0;; ++i) {
    const std::string phrase = next(i);
    if (text.size() + phrase.size() > kLoadLimit) break;
    text += phrase;
  }
  text.append(kLoadLimit - text.size(), ' ');
  return text;
}

// About 2500 phrases of two notes, some with key and tempo fields and comments.
std::string ShortPhrases() {
  return FillTo([](int i) -> std::string {
    if (i % 20 == 0) return "do=G,s=90,0.1,1,0.1,2|";
    if (i % 20 == 10) return "0.1,3/*x*/,0.1,5|";
    return i % 2 == 0 ? "0.1,1,0.1,2|" : "1,30,0,0.5|";
  });
}

// Phrases of eight voices each, with three-note chords.
std::string VoicesAndChords() {
  return FillTo([](int i) -> std::string {
    std::string phrase = i % 7 == 0 ? "s=96," : "";
    for (int v = 0; v < 8; ++v) {
      if (v > 0) phrase += " &";
      phrase += v % 2 == 0 ? "0,1,0,3,0.1,5,0.1,6" : "0,10,0,0.7,1,4.5";
    }
    return phrase + "|";
  });
}

std::string sideFolder;

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

// The side files of the larger of the two 29999-character scores, written on their own.
void BM_WriteSideFiles_29999(benchmark::State& state) {
  const std::string texts[2] = {ShortPhrases(), VoicesAndChords()};
  const std::string& text = texts[state.range(0)];
  auto score = std::make_unique<Score>();
  ParseScore(text.data(), static_cast<int32_t>(text.size()), *score);
  for (auto _ : state) WriteSideFiles();
  state.counters["bytes"] = static_cast<double>(sideText1Length + sideText2Length);
}

}  // namespace

BENCHMARK(BM_ParseScore_BuiltIn)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseScore_ShortPhrases29999)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseScore_VoicesAndChords29999)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteSideFiles_29999)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("voices")
    ->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  char pattern[] = "/tmp/tunwick-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  sideFolder = pattern;
  SetSideFileFolderOverride(sideFolder);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::error_code ignored;
  std::filesystem::remove_all(sideFolder, ignored);
  return 0;
}
