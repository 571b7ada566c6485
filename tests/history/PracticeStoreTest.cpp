// The store: a try read back as it was recorded (each note, nothing not sung made up), the
// tallies the progress command shows (best, last, local days), a phrase's chart and its most
// missed notes, forgetting a score, and the practice time of sittings.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "history/PracticeStore.h"
#include "history/PracticeTime.h"
#include "tests/history/HistoryFixtures.h"
#include "tests/support/TempFolder.h"

namespace {

using history::CPracticeStore;
using historytest::MakeTry;
using historytest::UtcMs;

class PracticeStoreTest : public ::testing::Test {
 protected:
  testsupport::TempFolder folder;
  std::string path = folder.File("history.sqlite");
};

TEST_F(PracticeStoreTest, ATryComesBackAsItWasRecorded) {
  history::TryRecord recorded =
      MakeTry("1111222233334444", 2, UtcMs(2024, 5, 1, 18, 3), "HMN", 42.5, 120);
  recorded.scoreFile = "/home/learner/songs/a.txt";
  recorded.transpose = -3;
  recorded.rangeLow = 55;
  recorded.toleranceCents = 35.0;
  recorded.judgement.offsetMs = -40;
  {
    CPracticeStore store(path);
    store.Record(recorded);
  }
  // A new connection, as the next run of the program makes.
  CPracticeStore store(path);
  const std::vector<history::TryRecord> tries = store.TriesOf("1111222233334444");
  ASSERT_EQ(tries.size(), 1u);
  const history::TryRecord& read = tries[0];
  EXPECT_EQ(read.when.unixMs, recorded.when.unixMs);
  EXPECT_EQ(read.when.utcOffsetMinutes, 120);
  EXPECT_EQ(read.scoreFile, recorded.scoreFile);
  EXPECT_EQ(read.phrase, 2);
  EXPECT_EQ(read.phraseText, recorded.phraseText);
  EXPECT_EQ(read.transpose, -3);
  EXPECT_EQ(read.rangeLow, std::optional<int32_t>(55));
  EXPECT_EQ(read.rangeHigh, std::nullopt);
  EXPECT_EQ(read.toleranceCents, 35.0);
  EXPECT_EQ(read.takeMs, recorded.takeMs);
  EXPECT_EQ(read.source, "listen");
  EXPECT_FALSE(read.passed);
  EXPECT_EQ(read.judgement.offsetMs, -40);
  EXPECT_EQ(read.judgement.hits, 1);
  EXPECT_FALSE(read.judgement.nothingHeard);
  ASSERT_EQ(read.judgement.notes.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    const listening::NoteJudgement& want = recorded.judgement.notes[i];
    const listening::NoteJudgement& got = read.judgement.notes[i];
    EXPECT_EQ(got.target.index, want.target.index) << i;
    EXPECT_EQ(got.target.pitch, want.target.pitch) << i;
    EXPECT_EQ(got.target.startMs, want.target.startMs) << i;
    EXPECT_EQ(got.target.endMs, want.target.endMs) << i;
    EXPECT_EQ(got.verdict, want.verdict) << i;
    EXPECT_EQ(got.cents, want.cents) << i;
    EXPECT_EQ(got.sungMidiCents, want.sungMidiCents) << i;
    EXPECT_EQ(got.voicedShare, want.voicedShare) << i;
  }
  // The note not sung has no pitch in the database, not a pitch of 0.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT count(*) FROM notes WHERE cents IS NULL AND sung_midi_cents IS NULL",
                     -1, &statement, nullptr);
  ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(statement, 0), 1);
  sqlite3_finalize(statement);
  sqlite3_close(db);
}

TEST_F(PracticeStoreTest, ScoresAreTalliedPerPhraseWithBestLastAndLocalDays) {
  CPracticeStore store(path);
  // Score A, phrase 0: three tries; at UTC 23:30 on May 1 in UTC+2 it is already May 2 there.
  store.Record(MakeTry("aaaaaaaaaaaaaaaa", 0, UtcMs(2024, 5, 1, 10), "HHMMM"));
  store.Record(MakeTry("aaaaaaaaaaaaaaaa", 0, UtcMs(2024, 5, 1, 23, 30), "HHHHH", 0, 120));
  store.Record(MakeTry("aaaaaaaaaaaaaaaa", 0, UtcMs(2024, 5, 2, 9), "HHHMN", 0, 120));
  // Phrase 1 once, the latest try of the score; score B earlier, recorded after.
  store.Record(MakeTry("aaaaaaaaaaaaaaaa", 1, UtcMs(2024, 5, 3, 8), "HHHH"));
  store.Record(MakeTry("bbbbbbbbbbbbbbbb", 0, UtcMs(2024, 4, 20, 8), "M"));

  const std::vector<history::ScoreSummary> scores = store.Scores();
  ASSERT_EQ(scores.size(), 2u);
  EXPECT_EQ(scores[0].hash, "aaaaaaaaaaaaaaaa") << "the latest practised first";
  EXPECT_EQ(scores[1].hash, "bbbbbbbbbbbbbbbb");
  const history::TryTally& whole = scores[0].tally;
  EXPECT_EQ(whole.tries, 4);
  EXPECT_EQ(whole.passed, 2);
  EXPECT_EQ(whole.days, 3) << "May 1, May 2 (twice, the 23:30 try local), May 3";
  ASSERT_EQ(scores[0].phrases.size(), 2u);
  const history::TryTally& first = scores[0].phrases[0].tally;
  EXPECT_EQ(first.tries, 3);
  EXPECT_EQ(first.passed, 1);
  EXPECT_EQ(first.bestHits, 5);
  EXPECT_EQ(first.bestNotes, 5);
  EXPECT_EQ(first.lastHits, 3) << "the latest try, not the last recorded";
  EXPECT_FALSE(first.lastPassed);
  EXPECT_EQ(first.days, 2);
  EXPECT_EQ(first.first.unixMs, UtcMs(2024, 5, 1, 10));
  EXPECT_EQ(scores[0].phrases[1].phrase, 1);
  EXPECT_EQ(scores[0].phrases[1].tally.tries, 1);
}

TEST_F(PracticeStoreTest, APhrasesChartAndTheNotesThatMissMost) {
  CPracticeStore store(path);
  const std::string hash = "cccccccccccccccc";
  // Note 2 missed three times (sharp, 60 and 90 cents; once not sung), note 4 once (flat).
  store.Record(MakeTry(hash, 0, UtcMs(2024, 5, 1), "HHMHH", 60));
  store.Record(MakeTry(hash, 0, UtcMs(2024, 5, 2), "HHNHH", 0));
  history::TryRecord third = MakeTry(hash, 0, UtcMs(2024, 5, 3), "HHMHM", 90);
  third.judgement.notes[4].cents = -70;
  third.transpose = 2;  // sung two semitones up: the note is still the written one
  for (listening::NoteJudgement& note : third.judgement.notes) note.target.pitch += 2;
  store.Record(third);
  store.Record(MakeTry(hash, 1, UtcMs(2024, 5, 4), "MMMMM"));  // another phrase

  const history::PhraseProgress progress = store.ProgressOf(hash, 0);
  ASSERT_EQ(progress.tries.size(), 3u);
  EXPECT_EQ(progress.tries[0].hits, 4);
  EXPECT_EQ(progress.tries[1].hits, 4);
  EXPECT_EQ(progress.tries[2].hits, 3);
  EXPECT_EQ(progress.tries[2].notes, 5);
  EXPECT_EQ(progress.tries[2].when.unixMs, UtcMs(2024, 5, 3));
  ASSERT_EQ(progress.mostMissed.size(), 2u);
  const history::MissedNote& worst = progress.mostMissed[0];
  EXPECT_EQ(worst.index, 2);
  EXPECT_EQ(worst.writtenPitch, 62);
  EXPECT_EQ(worst.tries, 3);
  EXPECT_EQ(worst.misses, 3);
  EXPECT_EQ(worst.sung, 2);
  EXPECT_DOUBLE_EQ(worst.meanCents, 75.0) << "over the tries it was sung";
  EXPECT_EQ(progress.mostMissed[1].index, 4);
  EXPECT_EQ(progress.mostMissed[1].misses, 1);
  EXPECT_EQ(progress.mostMissed[1].writtenPitch, 64);
  EXPECT_TRUE(store.ProgressOf("dddddddddddddddd", 0).tries.empty());
}

TEST_F(PracticeStoreTest, ForgettingAScoreTakesItsTriesAndNotesAndNothingElse) {
  CPracticeStore store(path);
  for (int i = 0; i < 3; ++i)
    store.Record(MakeTry("aaaaaaaaaaaaaaaa", i, UtcMs(2024, 5, 1, 9 + i), "HHM"));
  store.Record(MakeTry("bbbbbbbbbbbbbbbb", 0, UtcMs(2024, 5, 1), "HH"));
  EXPECT_EQ(store.Forget("aaaaaaaaaaaaaaaa"), 3);
  EXPECT_EQ(store.CountTries("aaaaaaaaaaaaaaaa"), 0);
  EXPECT_EQ(store.CountAllTries(), 1);
  EXPECT_EQ(store.Forget("aaaaaaaaaaaaaaaa"), 0);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM notes", -1, &statement, nullptr);
  ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(statement, 0), 2) << "only score B's two notes are left";
  sqlite3_finalize(statement);
  sqlite3_close(db);
}

TEST_F(PracticeStoreTest, TriesReadFromAFileAreFoundByItsName) {
  CPracticeStore store(path);
  history::TryRecord typed = MakeTry("aaaaaaaaaaaaaaaa", 0, 1000, "H");
  history::TryRecord read = MakeTry("bbbbbbbbbbbbbbbb", 0, 2000, "H");
  read.scoreFile = "/songs/a.txt";
  history::TryRecord edited = MakeTry("cccccccccccccccc", 0, 3000, "H");
  edited.scoreFile = "/songs/a.txt";
  for (const auto& record : {typed, read, edited}) store.Record(record);
  EXPECT_EQ(store.HashesOfFile("/songs/a.txt"),
            (std::vector<std::string>{"bbbbbbbbbbbbbbbb", "cccccccccccccccc"}));
  EXPECT_TRUE(store.HashesOfFile("/songs/b.txt").empty());
  EXPECT_EQ(store.Scores()[0].file, "/songs/a.txt");
}

TEST(PracticeTimeTest, SittingsCountFromTheFirstTakesStartToTheLastTakesEnd) {
  const int64_t minute = 60000;
  struct Case {
    const char* what;
    std::vector<history::TakeSpan> takes;
    int64_t practiceMs;
  };
  const Case cases[] = {
      {"none", {}, 0},
      {"one take", {{10 * minute, 5000}}, 5000},
      {"a sitting: the time between takes counts",
       {{10 * minute, 5000}, {11 * minute, 5000}, {12 * minute, 5000}},
       2 * minute + 5000},
      {"a break longer than five minutes starts a new sitting",
       {{10 * minute, 5000}, {16 * minute, 5000}},
       10000},
      {"exactly five minutes between takes is one sitting",
       {{10 * minute, 5000}, {15 * minute + 5000, 5000}},
       5 * minute + 10000},
  };
  for (const Case& c : cases) EXPECT_EQ(history::PracticeMs(c.takes), c.practiceMs) << c.what;
}

TEST(PracticeTimeTest, ShownInSecondsUntilThereIsAMinute) {
  const struct {
    const char* what;
    std::vector<history::TakeSpan> takes;
    const char* shown;
  } cases[] = {
      {"no try", {}, "0 分钟"},
      {"one try of 20 s", {{100000, 20000}}, "20 秒"},
      {"a started second counts", {{100000, 400}}, "1 秒"},
      {"three tries of 25 s, one after another",
       {{100000, 25000}, {125000, 25000}, {150000, 25000}},
       "1 分钟"},
      {"just under a minute", {{100000, 59000}}, "59 秒"},
      {"minutes rounded", {{1000000, 150000}}, "3 分钟"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(history::PracticeTimeText(history::PracticeMs(c.takes)), c.shown) << c.what;
}

TEST_F(PracticeStoreTest, TakesSinceAMomentComeInTimeOrder) {
  CPracticeStore store(path);
  store.Record(MakeTry("aaaaaaaaaaaaaaaa", 0, 5000, "HH"));
  store.Record(MakeTry("bbbbbbbbbbbbbbbb", 0, 3000, "H"));
  store.Record(MakeTry("aaaaaaaaaaaaaaaa", 1, 1000, "H"));
  const std::vector<history::TakeSpan> takes = store.TakesSince(2000);
  ASSERT_EQ(takes.size(), 2u);
  EXPECT_EQ(takes[0].endMs, 3000);
  EXPECT_EQ(takes[0].lengthMs, 800);
  EXPECT_EQ(takes[1].endMs, 5000);
}

}  // namespace
