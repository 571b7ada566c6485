// Writing the side files "f1.txt" and "f2.txt" of the two 29999-character scores on their
// own, as the program does after every parse: LF stored as CR LF, each file replaced whole.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "bench/notation/BenchScores.h"
#include "files/SideFileWriter.h"
#include "notation/Score.h"

namespace {

std::string folder;

void BM_WriteSideFiles_29999(benchmark::State& state) {
  const std::string text =
      state.range(0) == 0 ? benchscores::ShortPhrases() : benchscores::VoicesAndChords();
  auto score = std::make_unique<Score>();
  ParseScore(text.data(), static_cast<int32_t>(text.size()), *score);
  CSideFileWriter writer(folder, folder);
  for (auto _ : state) writer.WriteSideFiles(score->sideTexts);
  state.counters["bytes"] =
      static_cast<double>(score->sideTexts.sideText1Length + score->sideTexts.sideText2Length);
}

}  // namespace

BENCHMARK(BM_WriteSideFiles_29999)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("voices")
    ->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  char pattern[] = "/tmp/tunwick-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  folder = pattern;

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}
