#include "history/PracticeSchema.h"

#include <set>
#include <string>
#include <vector>

#include "files/ScoreTextFile.h"
#include "history/PracticeStore.h"
#include "history/ScoreIdentity.h"
#include "history/Sqlite.h"

namespace history {

namespace {

// Marks the file as Tunwick's practice history ("TwPH"), so that another program's database
// at the same place is not taken for one.
constexpr int32_t kApplicationId = 0x54775048;

// 1 -> 2: a score is known by its music, its text without comments (ScoreHash), no longer by
// its whole text. A score whose tries name a file that still holds the very text it was stored
// under takes the new hash of that text, joining a score already stored under it; a text
// without comments hashes alike either way, and one that is gone or changed cannot be told.
void RehashScoresByTheirMusic(sqlite3* db) {
  struct Stored {
    int64_t id;
    std::string hash;
    std::string file;
  };
  std::vector<Stored> stored;
  {
    CSqlStatement read(db,
                       "SELECT DISTINCT scores.id, scores.hash, tries.file FROM scores"
                       " JOIN tries ON tries.score_id = scores.id"
                       " WHERE tries.file IS NOT NULL AND tries.file <> '' ORDER BY scores.id");
    while (read.Step()) stored.push_back({read.Int(0), read.Text(1), read.Text(2)});
  }
  std::set<int64_t> done;
  for (const Stored& score : stored) {
    if (done.count(score.id) != 0) continue;
    const ScoreTextReadResult file = ReadScoreTextFile(score.file);
    if (file.status != ScoreTextReadResult::kOk || WholeTextHash(file.text) != score.hash) continue;
    done.insert(score.id);
    const std::string music = ScoreHash(file.text);
    if (music == score.hash) continue;
    CSqlStatement existing(db, "SELECT id FROM scores WHERE hash = ?1");
    existing.Bind(1, music);
    if (existing.Step()) {
      CSqlStatement move(db, "UPDATE tries SET score_id = ?1 WHERE score_id = ?2");
      move.Bind(1, existing.Int(0)).Bind(2, score.id).Run();
      CSqlStatement drop(db, "DELETE FROM scores WHERE id = ?1");
      drop.Bind(1, score.id).Run();
    } else {
      CSqlStatement rename(db, "UPDATE scores SET hash = ?1 WHERE id = ?2");
      rename.Bind(1, music).Bind(2, score.id).Run();
    }
  }
}

// Each step brings the schema from version i to i + 1, in SQL or, where SQL alone cannot, in
// code; a new version adds a step and never changes one already shipped.
struct UpgradeStep {
  const char* sql;
  void (*run)(sqlite3* db);
};
const UpgradeStep kUpgradeSteps[] = {
    // 0 -> 1: scores, their tries and each try's notes.
    {R"sql(
CREATE TABLE scores (
  id INTEGER PRIMARY KEY,
  hash TEXT NOT NULL UNIQUE
);
CREATE TABLE tries (
  id INTEGER PRIMARY KEY,
  score_id INTEGER NOT NULL REFERENCES scores (id) ON DELETE CASCADE,
  at_ms INTEGER NOT NULL,
  utc_offset_min INTEGER NOT NULL,
  file TEXT,
  phrase INTEGER NOT NULL,
  phrase_text TEXT NOT NULL,
  transpose INTEGER NOT NULL,
  range_low INTEGER,
  range_high INTEGER,
  tolerance_cents REAL NOT NULL,
  take_ms INTEGER NOT NULL,
  offset_ms INTEGER NOT NULL,
  hits INTEGER NOT NULL,
  notes INTEGER NOT NULL,
  passed INTEGER NOT NULL,
  source TEXT NOT NULL
);
CREATE INDEX tries_by_phrase ON tries (score_id, phrase, at_ms);
CREATE INDEX tries_by_time ON tries (at_ms);
CREATE TABLE notes (
  try_id INTEGER NOT NULL REFERENCES tries (id) ON DELETE CASCADE,
  position INTEGER NOT NULL,
  note_index INTEGER NOT NULL,
  target INTEGER NOT NULL,
  start_ms INTEGER NOT NULL,
  end_ms INTEGER NOT NULL,
  verdict TEXT NOT NULL CHECK (verdict IN ('hit', 'missed', 'not sung')),
  cents REAL,
  sung_midi_cents REAL,
  voiced_share REAL NOT NULL,
  PRIMARY KEY (try_id, position)
) WITHOUT ROWID;
)sql",
     nullptr},
    // 1 -> 2: scores known by their music.
    {nullptr, RehashScoresByTheirMusic},
    // 2 -> 3: the share of the written tempo a try was sung at, and the last phrase of a take
    // that sang several together (none: the phrase alone).
    {R"sql(
ALTER TABLE tries ADD COLUMN tempo_percent INTEGER NOT NULL DEFAULT 100;
ALTER TABLE tries ADD COLUMN last_phrase INTEGER;
)sql",
     nullptr},
};
static_assert(sizeof kUpgradeSteps / sizeof kUpgradeSteps[0] == kSchemaVersion,
              "one upgrade step per schema version");

}  // namespace

int32_t CheckSchema(sqlite3* db) {
  // Reading the header and the schema also tells a damaged file or another kind of file.
  CSqlStatement tables(db, "SELECT count(*) FROM sqlite_schema");
  tables.Step();
  CSqlStatement user(db, "PRAGMA user_version");
  user.Step();
  CSqlStatement app(db, "PRAGMA application_id");
  app.Step();
  const int32_t version = user.Int32(0);
  const int32_t application = app.Int32(0);
  // A new file (no schema at all) becomes ours.
  if (application != kApplicationId && (application != 0 || tables.Int(0) != 0))
    throw PracticeStoreError(PracticeStoreError::kUnreadable,
                             "it is not a Tunwick practice history");
  if (version > kSchemaVersion)
    throw PracticeStoreError(PracticeStoreError::kNewer,
                             "it was written by a newer Tunwick (schema version " +
                                 std::to_string(version) + ", this one knows up to " +
                                 std::to_string(kSchemaVersion) + ")");
  return version;
}

void UpgradeSchema(sqlite3* db) {
  if (CheckSchema(db) == kSchemaVersion) return;
  CWriteTransaction write(db);
  // Another process may have upgraded it while this one waited for the lock.
  const int32_t version = CheckSchema(db);
  for (int32_t step = version; step < kSchemaVersion; ++step) {
    if (kUpgradeSteps[step].sql != nullptr)
      ExecuteSql(db, kUpgradeSteps[step].sql, "upgrading the practice history");
    if (kUpgradeSteps[step].run != nullptr) kUpgradeSteps[step].run(db);
  }
  const std::string stamp = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                            "; PRAGMA user_version = " + std::to_string(kSchemaVersion);
  ExecuteSql(db, stamp.c_str(), "upgrading the practice history");
  write.Commit();
}

}  // namespace history
