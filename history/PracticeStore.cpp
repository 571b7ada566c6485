#include "history/PracticeStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <thread>
#include <utility>

namespace history {

namespace {

// Marks the file as Tunwick's practice history ("TwPH"), so that another program's database
// at the same place is not taken for one.
constexpr int32_t kApplicationId = 0x54775048;

// Each step brings the schema from version i to i + 1; a new version adds a step and never
// changes one already shipped.
const char* const kUpgradeSteps[] = {
    // 0 -> 1: scores, their tries and each try's notes.
    R"sql(
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
};
static_assert(sizeof kUpgradeSteps / sizeof kUpgradeSteps[0] == kSchemaVersion,
              "one upgrade step per schema version");

[[noreturn]] void Fail(sqlite3* db, int code, const std::string& doing) {
  const int primary = code & 0xff;
  const PracticeStoreError::Kind kind = primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB
                                            ? PracticeStoreError::kUnreadable
                                            : PracticeStoreError::kFailed;
  const char* message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
  throw PracticeStoreError(kind, doing + ": " + message);
}

void Execute(sqlite3* db, const char* sql, const char* doing) {
  const int code = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) Fail(db, code, doing);
}

// Turning write-ahead logging on needs the file to itself for a moment, and SQLite returns
// "database is locked" at once rather than waiting on the busy timeout when another process
// opens the history at the same time: that process is waited for here, as long as the busy
// timeout.
void TurnOnWriteAheadLog(sqlite3* db, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const int code = sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    if (code == SQLITE_OK) return;
    const int primary = code & 0xff;
    if ((primary != SQLITE_BUSY && primary != SQLITE_LOCKED) ||
        std::chrono::steady_clock::now() >= deadline)
      Fail(db, code, "turning on write-ahead logging");
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// A prepared statement, finalized when it goes.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    const int code = sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr);
    if (code != SQLITE_OK) Fail(db, code, "reading the practice history");
  }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int at, int64_t value) {
    Check(sqlite3_bind_int64(statement_, at, value));
    return *this;
  }
  Statement& Bind(int at, double value) {
    Check(sqlite3_bind_double(statement_, at, value));
    return *this;
  }
  Statement& Bind(int at, const std::string& text) {
    Check(sqlite3_bind_text(statement_, at, text.data(), static_cast<int>(text.size()),
                            SQLITE_TRANSIENT));
    return *this;
  }
  Statement& BindNull(int at) {
    Check(sqlite3_bind_null(statement_, at));
    return *this;
  }
  template <typename T>
  Statement& Bind(int at, const std::optional<T>& value) {
    return value ? Bind(at, *value) : BindNull(at);
  }
  Statement& Bind(int at, int32_t value) { return Bind(at, int64_t{value}); }

  // True while a row is there; false once done.
  bool Step() {
    const int code = sqlite3_step(statement_);
    if (code == SQLITE_ROW) return true;
    if (code == SQLITE_DONE) return false;
    Fail(db_, code, "the practice history");
  }
  void Run() {
    while (Step()) {
    }
    sqlite3_reset(statement_);
  }
  void Reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }

  int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
  int32_t Int32(int column) const { return sqlite3_column_int(statement_, column); }
  double Real(int column) const { return sqlite3_column_double(statement_, column); }
  bool IsNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
  std::string Text(int column) const {
    const unsigned char* text = sqlite3_column_text(statement_, column);
    return text == nullptr
               ? std::string()
               : std::string(reinterpret_cast<const char*>(text),
                             static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
  }

 private:
  void Check(int code) {
    if (code != SQLITE_OK) Fail(db_, code, "the practice history");
  }

  sqlite3* db_;
  sqlite3_stmt* statement_ = nullptr;
};

// A write transaction, rolled back unless committed. BEGIN IMMEDIATE takes the write lock at
// once, so a second writer waits on the busy timeout rather than failing half-way.
class WriteTransaction {
 public:
  explicit WriteTransaction(sqlite3* db) : db_(db) {
    Execute(db_, "BEGIN IMMEDIATE", "starting a write to the practice history");
  }
  ~WriteTransaction() {
    if (!done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  void Commit() {
    Execute(db_, "COMMIT", "storing in the practice history");
    done_ = true;
  }

 private:
  sqlite3* db_;
  bool done_ = false;
};

const char* VerdictText(listening::Verdict verdict) {
  switch (verdict) {
    case listening::Verdict::kHit:
      return "hit";
    case listening::Verdict::kMissed:
      return "missed";
    case listening::Verdict::kNotSung:
      break;
  }
  return "not sung";
}

listening::Verdict VerdictOf(const std::string& text) {
  if (text == "hit") return listening::Verdict::kHit;
  if (text == "missed") return listening::Verdict::kMissed;
  return listening::Verdict::kNotSung;
}

// A try's share of hits, for the best try: a try with nothing to sing counts as whole.
double HitShare(int32_t hits, int32_t notes) { return notes > 0 ? double(hits) / notes : 1.0; }

// Adds one try to a tally; tries may come in any order.
struct TallyBuilder {
  TryTally tally;
  std::set<int64_t> days;

  void Add(const WallTime& when, int32_t hits, int32_t notes, bool passed) {
    if (tally.tries == 0 || HitShare(hits, notes) > HitShare(tally.bestHits, tally.bestNotes)) {
      tally.bestHits = hits;
      tally.bestNotes = notes;
    }
    if (tally.tries == 0 || when.unixMs >= tally.last.unixMs) {
      tally.last = when;
      tally.lastHits = hits;
      tally.lastNotes = notes;
      tally.lastPassed = passed;
    }
    if (tally.tries == 0 || when.unixMs < tally.first.unixMs) tally.first = when;
    ++tally.tries;
    tally.passed += passed ? 1 : 0;
    days.insert(LocalDay(when));
  }
  TryTally Done() {
    tally.days = static_cast<int32_t>(days.size());
    return tally;
  }
};

}  // namespace

CPracticeStore::CPracticeStore(const std::string& path) {
  const int code =
      sqlite3_open_v2(path.c_str(), &db_,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  try {
    if (code != SQLITE_OK) Fail(db_, code, "cannot open " + path);
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    // What the file is, read before anything in it is changed: a database of another program
    // or of a newer Tunwick is left exactly as it was.
    CheckKind();
    TurnOnWriteAheadLog(db_, kBusyTimeoutMs);
    // A committed try is in the log before COMMIT returns, so a killed process loses nothing
    // committed; NORMAL leaves the disk flush to checkpoints (a power cut may lose the last
    // tries, never the file).
    Execute(db_, "PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON",
            "setting up the practice history");
    Upgrade();
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

CPracticeStore::~CPracticeStore() { sqlite3_close(db_); }

int32_t CPracticeStore::CheckKind() const {
  // Reading the header and the schema also tells a damaged file or another kind of file.
  Statement tables(db_, "SELECT count(*) FROM sqlite_schema");
  tables.Step();
  Statement user(db_, "PRAGMA user_version");
  user.Step();
  Statement app(db_, "PRAGMA application_id");
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

void CPracticeStore::Upgrade() {
  if (CheckKind() == kSchemaVersion) return;
  WriteTransaction write(db_);
  // Another process may have upgraded it while this one waited for the lock.
  const int32_t version = CheckKind();
  for (int32_t step = version; step < kSchemaVersion; ++step)
    Execute(db_, kUpgradeSteps[step], "upgrading the practice history");
  const std::string stamp = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                            "; PRAGMA user_version = " + std::to_string(kSchemaVersion);
  Execute(db_, stamp.c_str(), "upgrading the practice history");
  write.Commit();
}

void CPracticeStore::Record(const TryRecord& record) {
  WriteTransaction write(db_);
  Statement score(db_, "INSERT INTO scores (hash) VALUES (?1) ON CONFLICT (hash) DO NOTHING");
  score.Bind(1, record.scoreHash).Run();
  Statement scoreId(db_, "SELECT id FROM scores WHERE hash = ?1");
  scoreId.Bind(1, record.scoreHash);
  if (!scoreId.Step())
    throw PracticeStoreError(PracticeStoreError::kFailed, "the score was not stored");
  const int64_t id = scoreId.Int(0);

  const listening::TakeJudgement& judged = record.judgement;
  Statement addTry(
      db_,
      "INSERT INTO tries (score_id, at_ms, utc_offset_min, file, phrase, phrase_text,"
      " transpose, range_low, range_high, tolerance_cents, take_ms, offset_ms, hits,"
      " notes, passed, source)"
      " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16)");
  addTry.Bind(1, id)
      .Bind(2, record.when.unixMs)
      .Bind(3, record.when.utcOffsetMinutes)
      .Bind(5, record.phrase)
      .Bind(6, record.phraseText)
      .Bind(7, record.transpose)
      .Bind(8, record.rangeLow)
      .Bind(9, record.rangeHigh)
      .Bind(10, record.toleranceCents)
      .Bind(11, record.takeMs)
      .Bind(12, judged.offsetMs)
      .Bind(13, judged.hits)
      .Bind(14, judged.judged())
      .Bind(15, int64_t{record.passed ? 1 : 0})
      .Bind(16, record.source);
  if (record.scoreFile.empty()) {
    addTry.BindNull(4);
  } else {
    addTry.Bind(4, record.scoreFile);
  }
  addTry.Run();
  const int64_t tryId = sqlite3_last_insert_rowid(db_);

  Statement addNote(db_,
                    "INSERT INTO notes (try_id, position, note_index, target, start_ms, end_ms,"
                    " verdict, cents, sung_midi_cents, voiced_share)"
                    " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
  for (size_t i = 0; i < judged.notes.size(); ++i) {
    const listening::NoteJudgement& note = judged.notes[i];
    const bool sung = note.verdict != listening::Verdict::kNotSung;
    addNote.Bind(1, tryId)
        .Bind(2, static_cast<int64_t>(i))
        .Bind(3, note.target.index)
        .Bind(4, note.target.pitch)
        .Bind(5, note.target.startMs)
        .Bind(6, note.target.endMs)
        .Bind(7, std::string(VerdictText(note.verdict)))
        .Bind(8, sung ? std::optional<double>(note.cents) : std::nullopt)
        .Bind(9, sung ? std::optional<double>(note.sungMidiCents) : std::nullopt)
        .Bind(10, note.voicedShare);
    addNote.Run();
    addNote.Reset();
  }
  write.Commit();
}

std::vector<ScoreSummary> CPracticeStore::Scores() const {
  // One pass over the tries (no notes): every phrase's tally and each score's whole.
  Statement all(db_,
                "SELECT s.hash, t.phrase, t.at_ms, t.utc_offset_min, t.hits, t.notes, t.passed,"
                " t.file, t.phrase_text FROM tries t JOIN scores s ON s.id = t.score_id");
  struct Building {
    TallyBuilder whole;
    std::map<int32_t, std::pair<TallyBuilder, std::string>> phrases;
    std::string file;
    int64_t fileAtMs = 0;
  };
  std::map<std::string, Building> scores;
  while (all.Step()) {
    Building& score = scores[all.Text(0)];
    const int32_t phrase = all.Int32(1);
    const WallTime when{all.Int(2), all.Int32(3)};
    const int32_t hits = all.Int32(4);
    const int32_t notes = all.Int32(5);
    const bool passed = all.Int(6) != 0;
    score.whole.Add(when, hits, notes, passed);
    auto& [tally, text] = score.phrases[phrase];
    if (tally.tally.tries == 0 || when.unixMs >= tally.tally.last.unixMs) text = all.Text(8);
    tally.Add(when, hits, notes, passed);
    if (!all.IsNull(7) && (score.file.empty() || when.unixMs >= score.fileAtMs)) {
      score.file = all.Text(7);
      score.fileAtMs = when.unixMs;
    }
  }
  std::vector<ScoreSummary> summaries;
  for (auto& [hash, building] : scores) {
    ScoreSummary summary;
    summary.hash = hash;
    summary.file = building.file;
    summary.tally = building.whole.Done();
    for (auto& [phrase, tallyAndText] : building.phrases)
      summary.phrases.push_back({phrase, tallyAndText.second, tallyAndText.first.Done()});
    summaries.push_back(std::move(summary));
  }
  std::stable_sort(summaries.begin(), summaries.end(),
                   [](const ScoreSummary& a, const ScoreSummary& b) {
                     return a.tally.last.unixMs > b.tally.last.unixMs;
                   });
  return summaries;
}

std::vector<TryRecord> CPracticeStore::TriesOf(const std::string& scoreHash) const {
  Statement tries(db_,
                  "SELECT t.id, t.at_ms, t.utc_offset_min, t.file, t.phrase, t.phrase_text,"
                  " t.transpose, t.range_low, t.range_high, t.tolerance_cents, t.take_ms,"
                  " t.offset_ms, t.hits, t.passed, t.source FROM tries t"
                  " JOIN scores s ON s.id = t.score_id WHERE s.hash = ?1"
                  " ORDER BY t.at_ms, t.id");
  tries.Bind(1, scoreHash);
  Statement notes(db_,
                  "SELECT note_index, target, start_ms, end_ms, verdict, cents, sung_midi_cents,"
                  " voiced_share FROM notes WHERE try_id = ?1 ORDER BY position");
  std::vector<TryRecord> records;
  while (tries.Step()) {
    TryRecord record;
    record.scoreHash = scoreHash;
    record.when = {tries.Int(1), tries.Int32(2)};
    record.scoreFile = tries.Text(3);
    record.phrase = tries.Int32(4);
    record.phraseText = tries.Text(5);
    record.transpose = tries.Int32(6);
    if (!tries.IsNull(7)) record.rangeLow = tries.Int32(7);
    if (!tries.IsNull(8)) record.rangeHigh = tries.Int32(8);
    record.toleranceCents = tries.Real(9);
    record.takeMs = tries.Int32(10);
    record.judgement.offsetMs = tries.Int32(11);
    record.judgement.hits = tries.Int32(12);
    record.passed = tries.Int(13) != 0;
    record.source = tries.Text(14);
    notes.Bind(1, tries.Int(0));
    while (notes.Step()) {
      listening::NoteJudgement note;
      note.target.index = notes.Int32(0);
      note.target.pitch = notes.Int32(1);
      note.target.startMs = notes.Int32(2);
      note.target.endMs = notes.Int32(3);
      note.verdict = VerdictOf(notes.Text(4));
      note.cents = notes.Real(5);
      note.sungMidiCents = notes.Real(6);
      note.voicedShare = notes.Real(7);
      if (note.verdict != listening::Verdict::kNotSung) record.judgement.nothingHeard = false;
      record.judgement.notes.push_back(note);
    }
    notes.Reset();
    records.push_back(std::move(record));
  }
  return records;
}

PhraseProgress CPracticeStore::ProgressOf(const std::string& scoreHash, int32_t phrase) const {
  PhraseProgress progress;
  Statement tries(db_,
                  "SELECT t.at_ms, t.utc_offset_min, t.hits, t.notes, t.passed FROM tries t"
                  " JOIN scores s ON s.id = t.score_id WHERE s.hash = ?1 AND t.phrase = ?2"
                  " ORDER BY t.at_ms, t.id");
  tries.Bind(1, scoreHash).Bind(2, phrase);
  while (tries.Step())
    progress.tries.push_back(
        {{tries.Int(0), tries.Int32(1)}, tries.Int32(2), tries.Int32(3), tries.Int(4) != 0});

  Statement missed(db_,
                   "SELECT n.note_index, min(n.target - t.transpose), count(*),"
                   " sum(n.verdict <> 'hit'), count(n.cents), avg(n.cents)"
                   " FROM tries t JOIN scores s ON s.id = t.score_id"
                   " JOIN notes n ON n.try_id = t.id WHERE s.hash = ?1 AND t.phrase = ?2"
                   " GROUP BY n.note_index HAVING sum(n.verdict <> 'hit') > 0"
                   " ORDER BY 4 DESC, 1");
  missed.Bind(1, scoreHash).Bind(2, phrase);
  while (missed.Step()) {
    MissedNote note;
    note.index = missed.Int32(0);
    note.writtenPitch = missed.Int32(1);
    note.tries = missed.Int32(2);
    note.misses = missed.Int32(3);
    note.sung = missed.Int32(4);
    note.meanCents = missed.IsNull(5) ? 0.0 : missed.Real(5);
    progress.mostMissed.push_back(note);
  }
  return progress;
}

std::vector<TakeSpan> CPracticeStore::TakesSince(int64_t fromUnixMs) const {
  Statement takes(db_, "SELECT at_ms, take_ms FROM tries WHERE at_ms >= ?1 ORDER BY at_ms");
  takes.Bind(1, fromUnixMs);
  std::vector<TakeSpan> spans;
  while (takes.Step()) spans.push_back({takes.Int(0), takes.Int32(1)});
  return spans;
}

int64_t CPracticeStore::CountTries(const std::string& scoreHash) const {
  Statement count(db_,
                  "SELECT count(*) FROM tries t JOIN scores s ON s.id = t.score_id"
                  " WHERE s.hash = ?1");
  count.Bind(1, scoreHash).Step();
  return count.Int(0);
}

int64_t CPracticeStore::CountAllTries() const {
  Statement count(db_, "SELECT count(*) FROM tries");
  count.Step();
  return count.Int(0);
}

std::vector<std::string> CPracticeStore::HashesOfFile(const std::string& file) const {
  Statement hashes(db_,
                   "SELECT DISTINCT s.hash FROM tries t JOIN scores s ON s.id = t.score_id"
                   " WHERE t.file = ?1 ORDER BY s.hash");
  hashes.Bind(1, file);
  std::vector<std::string> found;
  while (hashes.Step()) found.push_back(hashes.Text(0));
  return found;
}

int64_t CPracticeStore::Forget(const std::string& scoreHash) {
  WriteTransaction write(db_);
  const int64_t tries = CountTries(scoreHash);
  // The notes go with their tries, the tries with their score (foreign keys cascade).
  Statement remove(db_, "DELETE FROM scores WHERE hash = ?1");
  remove.Bind(1, scoreHash).Run();
  write.Commit();
  return tries;
}

}  // namespace history
