#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "history/TryTally.h"
#include "history/WallClock.h"
#include "listening/TakeJudge.h"

struct sqlite3;

namespace history {

// The schema's version, kept in the database's user_version; each version's upgrade step
// brings a database of the version before it up by one.
constexpr int32_t kSchemaVersion = 3;
// The judge's normal tolerance either way, kept with tries judged with it.
constexpr double kNormalToleranceCents = 50.0;

// One judged try as stored.
struct TryRecord {
  WallTime when;                      // as the take was judged
  std::string scoreHash;              // ScoreHash of the score's text
  std::string scoreFile;              // the file it was read from, "" for a score typed or built in
  int32_t phrase = 0;                 // counted from 0; the first of a take of several
  std::optional<int32_t> lastPhrase;  // a take of several phrases sung together: the last
  std::string phraseText;             // as typed (a take of several: joined by '|')
  int32_t transpose = 0;              // semitones the learner sang from the written pitch
  std::optional<int32_t> rangeLow;    // the singer's range in MIDI keys; none: not set
  std::optional<int32_t> rangeHigh;
  double toleranceCents = kNormalToleranceCents;
  int32_t takeMs = 0;          // how long the take listened
  int32_t tempoPercent = 100;  // the share of the written tempo it was sung at
  std::string source;          // "window", "listen" or "score"
  bool passed = false;
  listening::TakeJudgement judgement;  // each note's target, sung pitch, cents and verdict
};

// What went wrong. A database that is unreadable (damaged, not a database, another program's)
// or newer than this program can be moved aside and a new one started; the rest cannot.
class PracticeStoreError : public std::runtime_error {
 public:
  enum Kind { kFailed, kUnreadable, kNewer };
  PracticeStoreError(Kind kind, const std::string& message)
      : std::runtime_error(message), kind_(kind) {}
  Kind Reason() const { return kind_; }

 private:
  Kind kind_;
};

struct PhraseSummary {
  int32_t phrase = 0;  // counted from 0
  std::string text;    // as last sung
  TryTally tally;
};

struct ScoreSummary {
  std::string hash;
  std::string file;  // the file of its latest try read from one, else ""
  TryTally tally;
  std::vector<PhraseSummary> phrases;  // in phrase order
};

// One try of a phrase on its chart.
struct TryPoint {
  WallTime when;
  int32_t hits = 0;
  int32_t notes = 0;
  bool passed = false;
};

// A note of a phrase that was missed, over all its tries.
struct MissedNote {
  int32_t index = 0;         // in the phrase, from 0
  int32_t writtenPitch = 0;  // MIDI key as written, before transposition
  int32_t tries = 0;         // tries that judged it
  int32_t misses = 0;        // of them missed or not sung
  int32_t sung = 0;          // of them sung
  double meanCents = 0.0;    // its average error where sung, signed
};

struct PhraseProgress {
  std::vector<TryPoint> tries;         // in time order
  std::vector<MissedNote> mostMissed;  // most misses first; notes never missed are left out
};

// A take's span, for the practice time.
struct TakeSpan {
  int64_t endMs = 0;  // Unix time the take was judged
  int32_t lengthMs = 0;
};

// The practice history database: opens (creating it and its folder) and upgrades it, stores
// each try in one transaction, and reads back summaries. Write-ahead logging lets readers and
// one writer work at once; a writer waits up to kBusyTimeoutMs for another process's write.
class CPracticeStore {
 public:
  static constexpr int kBusyTimeoutMs = 5000;

  // Throws PracticeStoreError: kUnreadable or kNewer when the file is there but cannot be used
  // (it is left as it is), kFailed when it cannot be opened or made at all.
  explicit CPracticeStore(const std::string& path);
  ~CPracticeStore();
  CPracticeStore(const CPracticeStore&) = delete;
  CPracticeStore& operator=(const CPracticeStore&) = delete;

  // Every query and write throws PracticeStoreError; nothing is half stored.
  void Record(const TryRecord& record);
  // Every score with a try, the latest practised first.
  std::vector<ScoreSummary> Scores() const;
  // A score's tries in time order, each with its notes.
  std::vector<TryRecord> TriesOf(const std::string& scoreHash) const;
  PhraseProgress ProgressOf(const std::string& scoreHash, int32_t phrase) const;
  // The takes judged at or after `fromUnixMs`, in time order.
  std::vector<TakeSpan> TakesSince(int64_t fromUnixMs) const;
  int64_t CountTries(const std::string& scoreHash) const;
  int64_t CountAllTries() const;
  // The scores whose tries were read from `file`.
  std::vector<std::string> HashesOfFile(const std::string& file) const;
  // Removes a score and its tries; returns how many tries went.
  int64_t Forget(const std::string& scoreHash);

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace history
