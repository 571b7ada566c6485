#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "history/PracticeStore.h"
#include "history/WallClock.h"
#include "listening/TakeJudge.h"
#include "notation/VoiceRange.h"

struct Score;

namespace history {

// The practice history file in the per-user data folder ($XDG_DATA_HOME/tunwick, by default
// ~/.local/share/tunwick); "" when there is no such folder.
std::string DefaultHistoryPath();

// A try of phrase `row` of `score` as judged, its phrase text and verdict filled in; the
// caller adds the score's hash and file, the transposition, the take's length and the source.
TryRecord TryOf(const Score& score, int32_t row, const listening::TakeJudgement& judgement);

// How a judged take was sung, beside its verdicts: what the history keeps with a try.
struct TakeContext {
  std::string scoreText;              // the score's text as loaded (its hash identifies the score)
  std::string scoreFile;              // the file it was read from, "" for a score typed or built in
  int32_t transpose = 0;              // semitones from the written pitch
  int32_t takeMs = 0;                 // how long the take listened
  int32_t tempoPercent = 100;         // the share of the written tempo it was sung at
  std::optional<int32_t> lastPhrase;  // a take of several phrases from `row`: the last
  std::optional<VoiceRange> range;
  std::string source;  // "window", "listen" or "score"
};

// The try record of a judged take of phrase `row`, or none when the take was too quiet to
// judge: that is no try of the learner's, and the history does not keep it.
std::optional<TryRecord> TryRecordOf(const Score& score, int32_t row,
                                     const listening::TakeJudgement& judgement,
                                     const TakeContext& context);

// The practice history as the program uses it: opened on first use (its folder made), and a
// database that cannot be read (damaged, another kind of file, or from a newer Tunwick) moved
// aside under a dated name, said in a notice, and a new one started. The notices go to the
// caller, who shows them where its user looks.
class CPracticeHistory {
 public:
  using Notice = std::function<void(const std::string& message)>;

  CPracticeHistory(std::string path, WallClock clock, Notice notice);
  ~CPracticeHistory();

  const std::string& Path() const { return path_; }
  WallTime Now() const { return clock_(); }

  // Runs `work` on the store. When the database proves unreadable it is moved aside and the
  // work runs once more on a new one. Throws PracticeStoreError when it still fails.
  template <typename Work>
  auto With(Work&& work) -> decltype(work(std::declval<CPracticeStore&>())) {
    try {
      return work(Store());
    } catch (const PracticeStoreError& error) {
      if (error.Reason() == PracticeStoreError::kFailed) throw;
      MoveAside(error);
      return work(Store());
    }
  }

  // Stores a try stamped with the clock's time. False, after a notice, when it could not be
  // stored: the exercise goes on without it.
  bool Record(TryRecord record);

 private:
  CPracticeStore& Store();
  void MoveAside(const PracticeStoreError& why);

  std::string path_;
  WallClock clock_;
  Notice notice_;
  std::unique_ptr<CPracticeStore> store_;
};

}  // namespace history
