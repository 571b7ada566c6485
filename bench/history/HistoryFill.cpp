#include "bench/history/HistoryFill.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>

#include "history/PracticeHistory.h"
#include "history/ScoreIdentity.h"
#include "listening/PhraseTargets.h"
#include "notation/Score.h"
#include "notation/ScoreParseError.h"
#include "playback/Player.h"

int64_t FillHistory(history::CPracticeStore& store, const FillPlan& plan) {
  auto score = std::make_unique<Score>();
  ParseScore(plan.scoreText.c_str(), static_cast<int32_t>(plan.scoreText.size()), *score);
  if (score->phraseCount == 0) throw std::runtime_error("the score holds no phrase");
  const int32_t phrases =
      plan.phrases > 0 ? std::min(plan.phrases, score->phraseCount) : score->phraseCount;
  const std::string hash = history::ScoreHash(plan.scoreText);
  std::mt19937 random(7);
  std::normal_distribution<double> spread(0.0, 1.0);
  const int64_t perDay = std::max<int64_t>(1, plan.tries / std::max(1, plan.days));
  for (int64_t n = 0; n < plan.tries; ++n) {
    const int32_t day = static_cast<int32_t>(std::min<int64_t>(n / perDay, plan.days - 1));
    const int32_t row = static_cast<int32_t>(n % phrases);
    const std::vector<listening::TargetNote> targets =
        listening::PhraseTargets(score->phrases[row], 0);
    // A sitting at 19:00 local, a try every 20 s; the singing tightens from day to day.
    const int64_t localStart = plan.lastDayStartMs - int64_t{plan.days - 1 - day} * 86400000 +
                               19 * 3600000 + (n % perDay) * 20000;
    listening::TakeJudgement judged;
    judged.nothingHeard = false;
    const double wobble = 60.0 - 45.0 * day / std::max(1, plan.days - 1);
    for (size_t i = 0; i < targets.size(); ++i) {
      listening::NoteJudgement note;
      note.target = targets[i];
      // The third note stays sharp; the rest spread around the target.
      note.cents = (i == 2 ? 55.0 - 3.0 * day : 0.0) + wobble * spread(random);
      note.sungMidiCents = 100.0 * note.target.pitch + note.cents;
      note.voicedShare = 0.95;
      note.verdict =
          std::fabs(note.cents) <= 50.0 ? listening::Verdict::kHit : listening::Verdict::kMissed;
      judged.hits += note.verdict == listening::Verdict::kHit ? 1 : 0;
      judged.notes.push_back(note);
    }
    history::TryRecord record = history::TryOf(*score, row, judged);
    record.when = {localStart - int64_t{plan.utcOffsetMinutes} * 60000, plan.utcOffsetMinutes};
    record.scoreHash = hash;
    record.scoreFile = plan.scoreFile;
    record.takeMs = listening::PhraseLengthMs(score->phrases[row]) + 300;
    record.source = "listen";
    store.Record(record);
  }
  return plan.tries;
}

#ifdef TUNWICK_HISTORY_FILL_MAIN
// tunwick_history_fill DB [SCORE-FILE] [--tries N] [--days D] [--phrases P]: simulated tries
// of the score (the built-in one without a file), the last day today.
int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DB [SCORE-FILE] [--tries N] [--days D] [--phrases P]\n",
                 argv[0]);
    return 2;
  }
  FillPlan plan;
  plan.scoreText = kBuiltInScore;
  for (int i = 2; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--tries" && i + 1 < argc) {
      plan.tries = std::atoll(argv[++i]);
    } else if (word == "--days" && i + 1 < argc) {
      plan.days = std::atoi(argv[++i]);
    } else if (word == "--phrases" && i + 1 < argc) {
      plan.phrases = std::atoi(argv[++i]);
    } else {
      std::FILE* file = std::fopen(argv[i], "rb");
      if (file == nullptr) {
        std::perror(argv[i]);
        return 1;
      }
      plan.scoreText.clear();
      char buffer[4096];
      for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        plan.scoreText.append(buffer, got);
      std::fclose(file);
      char resolved[4096];
      plan.scoreFile = realpath(argv[i], resolved) != nullptr ? resolved : argv[i];
    }
  }
  const history::WallTime now = history::SystemWallClock()();
  plan.utcOffsetMinutes = now.utcOffsetMinutes;
  const int64_t localMs = now.unixMs + int64_t{now.utcOffsetMinutes} * 60000;
  plan.lastDayStartMs = localMs - localMs % 86400000;
  try {
    history::CPracticeStore store(argv[1]);
    std::printf("%lld tries stored\n", static_cast<long long>(FillHistory(store, plan)));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
    return 1;
  }
  return 0;
}
#endif
