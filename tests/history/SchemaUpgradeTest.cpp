// A history of schema version 1 kept its scores under the hash of their whole text, comments
// and all. Opened now, each score whose file still holds that text moves to the hash of its
// music, joining the tries already kept under it; the rest stay as they were.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "history/PracticeStore.h"
#include "history/ScoreIdentity.h"
#include "tests/history/HistoryFixtures.h"
#include "tests/support/TempFolder.h"

namespace {

using history::CPracticeStore;
using history::ScoreHash;
using history::WholeTextHash;
using historytest::MakeTry;

// Turns the database back to schema version 1: its tables without the columns added since.
void MarkAsVersion1(const std::string& path) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db,
                         "ALTER TABLE tries DROP COLUMN tempo_percent;"
                         " ALTER TABLE tries DROP COLUMN last_phrase; PRAGMA user_version = 1",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
}

TEST(SchemaUpgradeTest, StoredScoresMoveToTheHashOfTheirMusic) {
  testsupport::TempFolder folder;
  const std::string path = folder.File("history.sqlite");
  const std::string worded = "do=F,1,1,1,2 /*词: 一二*/";
  const std::string titled = "/*标题: 音阶*/1,3,1,4";
  const std::string changed = "1,5 /* a note */";
  const std::string plain = "1,6,1,7";
  const struct {
    std::string file;
    std::string text;  // as stored under its whole-text hash
    int tries;
  } stored[] = {
      {folder.Write("worded.txt", worded), worded, 2},
      {folder.Write("titled.txt", titled), titled, 1},
      {folder.Write("changed.txt", "1,5 /* a note! */"), changed, 1},  // edited since
      {folder.File("gone.txt"), "1,1 /* gone */", 1},                  // no longer there
      {folder.Write("plain.txt", plain), plain, 1},
  };
  {
    CPracticeStore store(path);
    int64_t at = 0;
    for (const auto& score : stored) {
      for (int i = 0; i < score.tries; ++i) {
        history::TryRecord record = MakeTry(WholeTextHash(score.text), 0, ++at, "HH");
        record.scoreFile = score.file;
        store.Record(record);
      }
    }
    // A try of the titled score's music typed into the window, already under the new hash.
    store.Record(MakeTry(ScoreHash(titled), 0, ++at, "HM"));
  }
  MarkAsVersion1(path);

  CPracticeStore store(path);
  EXPECT_EQ(store.CountTries(ScoreHash(worded)), 2);
  EXPECT_EQ(store.CountTries(WholeTextHash(worded)), 0);
  EXPECT_EQ(store.CountTries(ScoreHash(titled)), 2) << "joined with the typed try";
  EXPECT_EQ(store.CountTries(WholeTextHash(titled)), 0);
  EXPECT_EQ(store.CountTries(WholeTextHash(changed)), 1) << "a changed file cannot be told";
  EXPECT_EQ(store.CountTries(WholeTextHash("1,1 /* gone */")), 1);
  EXPECT_EQ(store.CountTries(ScoreHash(plain)), 1);
  EXPECT_EQ(WholeTextHash(plain), ScoreHash(plain)) << "no comments: the hash it always had";
  EXPECT_EQ(store.Scores().size(), 5u);
  EXPECT_EQ(store.CountAllTries(), 7);

  // Upgraded once: a score stored under an old hash later is left alone.
  history::TryRecord late = MakeTry(WholeTextHash(worded), 0, 100, "H");
  late.scoreFile = stored[0].file;
  store.Record(late);
  const CPracticeStore reopened(path);
  EXPECT_EQ(reopened.CountTries(WholeTextHash(worded)), 1);
}

}  // namespace
