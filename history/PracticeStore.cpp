#include "history/PracticeStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <utility>

#include "history/PracticeSchema.h"
#include "history/Sqlite.h"
#include "listening/VerdictText.h"

namespace history {

CPracticeStore::CPracticeStore(const std::string& path) {
  const int code =
      sqlite3_open_v2(path.c_str(), &db_,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  try {
    if (code != SQLITE_OK) FailSql(db_, code, "cannot open " + path);
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    // What the file is, read before anything in it is changed: a database of another program
    // or of a newer Tunwick is left exactly as it was.
    CheckSchema(db_);
    TurnOnWriteAheadLog(db_, kBusyTimeoutMs);
    // A committed try is in the log before COMMIT returns, so a killed process loses nothing
    // committed; NORMAL leaves the disk flush to checkpoints (a power cut may lose the last
    // tries, never the file).
    ExecuteSql(db_, "PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON",
               "setting up the practice history");
    UpgradeSchema(db_);
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

CPracticeStore::~CPracticeStore() { sqlite3_close(db_); }

void CPracticeStore::Record(const TryRecord& record) {
  CWriteTransaction write(db_);
  CSqlStatement score(db_, "INSERT INTO scores (hash) VALUES (?1) ON CONFLICT (hash) DO NOTHING");
  score.Bind(1, record.scoreHash).Run();
  CSqlStatement scoreId(db_, "SELECT id FROM scores WHERE hash = ?1");
  scoreId.Bind(1, record.scoreHash);
  if (!scoreId.Step())
    throw PracticeStoreError(PracticeStoreError::kFailed, "the score was not stored");
  const int64_t id = scoreId.Int(0);

  const listening::TakeJudgement& judged = record.judgement;
  CSqlStatement addTry(
      db_,
      "INSERT INTO tries (score_id, at_ms, utc_offset_min, file, phrase, phrase_text,"
      " transpose, range_low, range_high, tolerance_cents, take_ms, offset_ms, hits,"
      " notes, passed, source, tempo_percent, last_phrase)"
      " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17,"
      " ?18)");
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
      .Bind(14, judged.Judged())
      .Bind(15, int64_t{record.passed ? 1 : 0})
      .Bind(16, record.source)
      .Bind(17, record.tempoPercent)
      .Bind(18, record.lastPhrase);
  if (record.scoreFile.empty()) {
    addTry.BindNull(4);
  } else {
    addTry.Bind(4, record.scoreFile);
  }
  addTry.Run();
  const int64_t tryId = sqlite3_last_insert_rowid(db_);

  CSqlStatement addNote(db_,
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
        .Bind(7, std::string(listening::VerdictName(note.verdict)))
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
  CSqlStatement all(db_,
                    "SELECT s.hash, t.phrase, t.at_ms, t.utc_offset_min, t.hits, t.notes, t.passed,"
                    " t.file, t.phrase_text, t.last_phrase FROM tries t"
                    " JOIN scores s ON s.id = t.score_id");
  struct Building {
    CTryTallier whole;
    std::map<int32_t, std::pair<CTryTallier, std::string>> phrases;
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
    // A take of several phrases counts for the score, not for its first phrase alone.
    if (all.IsNull(9)) {
      auto& [tally, text] = score.phrases[phrase];
      if (tally.IsLatest(when)) text = all.Text(8);
      tally.Add(when, hits, notes, passed);
    }
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
    summary.tally = building.whole.Tally();
    for (auto& [phrase, tallyAndText] : building.phrases)
      summary.phrases.push_back({phrase, tallyAndText.second, tallyAndText.first.Tally()});
    summaries.push_back(std::move(summary));
  }
  std::stable_sort(summaries.begin(), summaries.end(),
                   [](const ScoreSummary& a, const ScoreSummary& b) {
                     return a.tally.last.unixMs > b.tally.last.unixMs;
                   });
  return summaries;
}

std::vector<TryRecord> CPracticeStore::TriesOf(const std::string& scoreHash) const {
  CSqlStatement tries(db_,
                      "SELECT t.id, t.at_ms, t.utc_offset_min, t.file, t.phrase, t.phrase_text,"
                      " t.transpose, t.range_low, t.range_high, t.tolerance_cents, t.take_ms,"
                      " t.offset_ms, t.hits, t.passed, t.source, t.tempo_percent, t.last_phrase"
                      " FROM tries t"
                      " JOIN scores s ON s.id = t.score_id WHERE s.hash = ?1"
                      " ORDER BY t.at_ms, t.id");
  tries.Bind(1, scoreHash);
  CSqlStatement notes(
      db_,
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
    record.tempoPercent = tries.Int32(15);
    if (!tries.IsNull(16)) record.lastPhrase = tries.Int32(16);
    notes.Bind(1, tries.Int(0));
    while (notes.Step()) {
      listening::NoteJudgement note;
      note.target.index = notes.Int32(0);
      note.target.pitch = notes.Int32(1);
      note.target.startMs = notes.Int32(2);
      note.target.endMs = notes.Int32(3);
      // The schema admits no other word; anything else would be a note not sung.
      if (!listening::ParseVerdict(notes.Text(4), note.verdict))
        note.verdict = listening::Verdict::kNotSung;
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
  CSqlStatement tries(db_,
                      "SELECT t.at_ms, t.utc_offset_min, t.hits, t.notes, t.passed FROM tries t"
                      " JOIN scores s ON s.id = t.score_id WHERE s.hash = ?1 AND t.phrase = ?2"
                      " AND t.last_phrase IS NULL ORDER BY t.at_ms, t.id");
  tries.Bind(1, scoreHash).Bind(2, phrase);
  while (tries.Step())
    progress.tries.push_back(
        {{tries.Int(0), tries.Int32(1)}, tries.Int32(2), tries.Int32(3), tries.Int(4) != 0});

  CSqlStatement missed(
      db_,
      "SELECT n.note_index, min(n.target - t.transpose), count(*),"
      " sum(n.verdict <> 'hit'), count(n.cents), avg(n.cents)"
      " FROM tries t JOIN scores s ON s.id = t.score_id"
      " JOIN notes n ON n.try_id = t.id WHERE s.hash = ?1 AND t.phrase = ?2"
      " AND t.last_phrase IS NULL GROUP BY n.note_index HAVING sum(n.verdict <> 'hit') > 0"
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
  CSqlStatement takes(db_, "SELECT at_ms, take_ms FROM tries WHERE at_ms >= ?1 ORDER BY at_ms");
  takes.Bind(1, fromUnixMs);
  std::vector<TakeSpan> spans;
  while (takes.Step()) spans.push_back({takes.Int(0), takes.Int32(1)});
  return spans;
}

int64_t CPracticeStore::CountTries(const std::string& scoreHash) const {
  CSqlStatement count(db_,
                      "SELECT count(*) FROM tries t JOIN scores s ON s.id = t.score_id"
                      " WHERE s.hash = ?1");
  count.Bind(1, scoreHash).Step();
  return count.Int(0);
}

int64_t CPracticeStore::CountAllTries() const {
  CSqlStatement count(db_, "SELECT count(*) FROM tries");
  count.Step();
  return count.Int(0);
}

std::vector<std::string> CPracticeStore::HashesOfFile(const std::string& file) const {
  CSqlStatement hashes(db_,
                       "SELECT DISTINCT s.hash FROM tries t JOIN scores s ON s.id = t.score_id"
                       " WHERE t.file = ?1 ORDER BY s.hash");
  hashes.Bind(1, file);
  std::vector<std::string> found;
  while (hashes.Step()) found.push_back(hashes.Text(0));
  return found;
}

int64_t CPracticeStore::Forget(const std::string& scoreHash) {
  CWriteTransaction write(db_);
  const int64_t tries = CountTries(scoreHash);
  // The notes go with their tries, the tries with their score (foreign keys cascade).
  CSqlStatement remove(db_, "DELETE FROM scores WHERE hash = ?1");
  remove.Bind(1, scoreHash).Run();
  write.Commit();
  return tries;
}

}  // namespace history
