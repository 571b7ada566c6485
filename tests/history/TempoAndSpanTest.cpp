// What a try keeps of how it was sung beside its verdicts: the share of the written tempo and
// the phrases a take sang together. A database from before either was kept reads its tries as
// sung at the written tempo, one phrase each; a take of several phrases counts for the score
// and is read back whole, but stays out of its first phrase's own tally, chart and missed notes.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

#include "history/PracticeHistory.h"
#include "history/ScoreIdentity.h"
#include "notation/Score.h"
#include "tests/history/HistoryFixtures.h"
#include "tests/support/TempFolder.h"

namespace {

using history::CPracticeStore;
using historytest::MakeTry;
using historytest::UtcMs;

const char kHash[] = "abcdabcdabcdabcd";

void Execute(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

TEST(TempoAndSpanTest, TriesOfAnOlderDatabaseReadAsOnePhraseAtTheWrittenTempo) {
  testsupport::TempFolder folder;
  const std::string path = folder.File("history.sqlite");
  CPracticeStore(path).Record(MakeTry(kHash, 2, UtcMs(2025, 3, 1), "HH"));
  // The database as the version before kept it: neither column, version 1.
  Execute(path,
          "ALTER TABLE tries DROP COLUMN tempo_percent; ALTER TABLE tries DROP COLUMN last_phrase;"
          " PRAGMA user_version = 1");
  CPracticeStore store(path);
  history::TryRecord later = MakeTry(kHash, 0, UtcMs(2025, 3, 2), "HM");
  later.tempoPercent = 80;
  store.Record(later);
  const std::vector<history::TryRecord> tries = store.TriesOf(kHash);
  ASSERT_EQ(tries.size(), 2u);
  EXPECT_EQ(tries[0].phrase, 2);
  EXPECT_EQ(tries[0].tempoPercent, 100);
  EXPECT_EQ(tries[0].lastPhrase, std::nullopt);
  EXPECT_EQ(tries[1].tempoPercent, 80) << "the upgraded database keeps the tempo of new tries";
}

TEST(TempoAndSpanTest, ATakeOfSeveralPhrasesCountsForTheScoreNotForItsFirstPhrase) {
  testsupport::TempFolder folder;
  CPracticeStore store(folder.File("history.sqlite"));
  store.Record(MakeTry(kHash, 1, UtcMs(2025, 3, 1, 10), "HH"));
  history::TryRecord chained = MakeTry(kHash, 1, UtcMs(2025, 3, 1, 11), "MMMM");
  chained.lastPhrase = 2;
  chained.tempoPercent = 50;
  store.Record(chained);

  const std::vector<history::TryRecord> tries = store.TriesOf(kHash);
  ASSERT_EQ(tries.size(), 2u);
  EXPECT_EQ(tries[1].phrase, 1);
  EXPECT_EQ(tries[1].lastPhrase, std::optional<int32_t>(2));
  EXPECT_EQ(tries[1].tempoPercent, 50);
  EXPECT_EQ(tries[1].judgement.notes.size(), 4u);

  const std::vector<history::ScoreSummary> scores = store.Scores();
  ASSERT_EQ(scores.size(), 1u);
  EXPECT_EQ(scores[0].tally.tries, 2);
  ASSERT_EQ(scores[0].phrases.size(), 1u);
  EXPECT_EQ(scores[0].phrases[0].tally.tries, 1);
  EXPECT_EQ(scores[0].phrases[0].tally.passed, 1);
  const history::PhraseProgress progress = store.ProgressOf(kHash, 1);
  EXPECT_EQ(progress.tries.size(), 1u);
  EXPECT_TRUE(progress.mostMissed.empty()) << "the chained take's misses are not phrase 2's";
}

TEST(TempoAndSpanTest, ATakeOfSeveralPhrasesKeepsTheirTextsAndTheTempo) {
  const char text[] = "s=100,1,1,1,2|1,3,1,5|1,6";
  auto score = std::make_unique<Score>();
  ParseScore(text, sizeof text - 1, *score);
  listening::TakeJudgement judgement;
  judgement.nothingHeard = false;
  judgement.hits = 1;
  judgement.notes.resize(1);
  judgement.notes[0].verdict = listening::Verdict::kHit;
  history::TakeContext context;
  context.scoreText = text;
  context.tempoPercent = 70;
  context.lastPhrase = 2;
  const std::optional<history::TryRecord> record =
      history::TryRecordOf(*score, 1, judgement, context);
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->phrase, 1);
  EXPECT_EQ(record->lastPhrase, std::optional<int32_t>(2));
  EXPECT_EQ(record->tempoPercent, 70);
  EXPECT_EQ(record->phraseText,
            history::PhraseText(*score, 1) + "|" + history::PhraseText(*score, 2));
  context.lastPhrase = 1;  // a span of one is the phrase alone
  EXPECT_EQ(history::TryRecordOf(*score, 1, judgement, context)->lastPhrase, std::nullopt);
}

}  // namespace
