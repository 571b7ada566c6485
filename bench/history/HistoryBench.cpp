// The practice history's costs: storing one judged try (one transaction, write-ahead logged),
// and the progress command's summary of every score over 100 000 stored tries.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/history/HistoryFill.h"
#include "history/PracticeStore.h"
#include "history/ScoreIdentity.h"
#include "playback/Player.h"

namespace {

// A fresh folder for the benchmark's databases, removed at the end.
struct BenchFolder {
  BenchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tunwick-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path = pattern;
  }
  ~BenchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

BenchFolder& Folder() {
  static BenchFolder folder;
  return folder;
}

// One try of eight notes, as the ear hands them on.
history::TryRecord EightNoteTry(int64_t n) {
  history::TryRecord record;
  record.when = {1714500000000 + n * 20000, 120};
  record.scoreHash = "0123456789abcdef";
  record.scoreFile = "/home/learner/songs/song.txt";
  record.phrase = static_cast<int32_t>(n % 4);
  record.phraseText = "do=F s=100,1,1,1,2,1,3,1,4,1,5,1,6,1,7,1,1";
  record.takeMs = 4300;
  record.source = "window";
  for (int32_t i = 0; i < 8; ++i) {
    listening::NoteJudgement note;
    note.target = {i, 65 + i, i * 500, i * 500 + 500};
    note.verdict = i == 2 ? listening::Verdict::kMissed : listening::Verdict::kHit;
    note.cents = i == 2 ? 70.0 : 4.0;
    note.sungMidiCents = 100.0 * note.target.pitch + note.cents;
    note.voicedShare = 0.9;
    record.judgement.hits += note.verdict == listening::Verdict::kHit ? 1 : 0;
    record.judgement.notes.push_back(note);
  }
  record.judgement.nothingHeard = false;
  record.passed = listening::PassesPhrase(record.judgement);
  return record;
}

void BM_RecordTry(benchmark::State& state) {
  const std::string path = Folder().path + "/record.sqlite";
  history::CPracticeStore store(path);
  int64_t n = 0;
  for (auto _ : state) store.Record(EightNoteTry(n++));
  state.SetLabel("one try of 8 notes, one transaction; goal < 5 ms");
}
BENCHMARK(BM_RecordTry)->Unit(benchmark::kMillisecond)->UseRealTime();

// Score `n` of the big history: the built-in score at a tempo of its own, so that each is
// other music (a comment would not make another score).
std::string BigHistoryScore(int n) {
  return "s=" + std::to_string(80 + n) + std::string(kBuiltInScore).substr(5);
}

// 100 000 tries: 20 scores of 8 phrases, a year of practice.
std::string BigHistory() {
  const std::string path = Folder().path + "/big.sqlite";
  if (std::filesystem::exists(path)) return path;
  history::CPracticeStore store(path);
  for (int score = 0; score < 20; ++score) {
    FillPlan plan;
    plan.scoreText = BigHistoryScore(score);
    plan.scoreFile = "/home/learner/songs/song" + std::to_string(score) + ".txt";
    plan.tries = 5000;
    plan.days = 365;
    plan.lastDayStartMs = 1714521600000;
    FillHistory(store, plan);
  }
  return path;
}

void BM_ProgressOver100kTries(benchmark::State& state) {
  const std::string path = BigHistory();
  int64_t scores = 0;
  for (auto _ : state) {
    // What `tunwick progress` does: open, check the schema, sum up every score.
    history::CPracticeStore store(path);
    scores = static_cast<int64_t>(store.Scores().size());
    benchmark::DoNotOptimize(scores);
  }
  state.SetLabel(std::to_string(scores) + " scores over 100000 tries; goal < 200 ms");
}
BENCHMARK(BM_ProgressOver100kTries)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PhraseProgressOver100kTries(benchmark::State& state) {
  const std::string path = BigHistory();
  history::CPracticeStore store(path);
  const std::string hash = history::ScoreHash(BigHistoryScore(7));
  for (auto _ : state) benchmark::DoNotOptimize(store.ProgressOf(hash, 0));
  state.SetLabel("the panel's chart and missed notes of one phrase");
}
BENCHMARK(BM_PhraseProgressOver100kTries)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
