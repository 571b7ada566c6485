#pragma once

#include <cstdint>
#include <vector>

#include "playback/PlayerNotification.h"

// Sing-back: the take lasts the phrase plus this grace, for a learner who ends late.
constexpr int32_t kListenGraceMs = 300;
constexpr int32_t kSingBackTries = 3;

// Shown when sing-back is asked for with nothing to listen through.
extern const char kNoEarMessage[];
// Shown when the input stopped sending during a take.
extern const char kInputLostMessage[];

// How a phrase went in sing-back mode.
struct SingBackResult {
  int32_t tries = 0;  // takes judged
  bool passed = false;
  int32_t hits = 0;  // of the last take
  int32_t judged = 0;
};

// The sing-back exercise's bookkeeping beside the player: the ear it listens through, the try
// of the phrase, how each phrase went, and what follows a judged take. The player keeps the
// timing (the phrase, the cue, the take's length) and asks this what comes next.
class CSingBackExercise {
 public:
  // What follows a judged take: the same phrase's next try, the same try again (the take could
  // not be judged), the next phrase, or the end; or a stop, as a pause would, when the input
  // stopped sending (Continue gives the same try).
  enum class Next { kSamePhrase, kSameTry, kNextPhrase, kOver, kInputLost };

  // The ear sing-back listens through; nullptr for none. It must outlive its use.
  void SetEar(PlayerEar* ear) { ear_ = ear; }
  bool HasEar() const { return ear_ != nullptr; }

  // A new exercise, first try, up to (not including) phrase `end` of a score of phraseCount
  // phrases.
  void Begin(int32_t end, int32_t phraseCount);
  // The take of phrase `row` starts now and lasts lengthMs.
  void StartTake(int32_t row, int32_t lengthMs) { ear_->StartTake(row, lengthMs); }
  // The take's time is up: the ear judges it, the phrase's result is kept, and `next` says
  // what follows.
  TakeVerdict FinishTake(int32_t row, Next& next);
  // The next try: of the same phrase, or the first of the next one.
  void RetryPhrase() { ++attempt_; }
  void FirstTry() { attempt_ = 1; }
  // Drops a take in progress (playback paused or stopped while listening).
  void CancelTake() {
    if (ear_ != nullptr) ear_->CancelTake();
  }

  // The 1-based try of the phrase.
  int32_t Attempt() const { return attempt_; }
  // The exercise's last phrase has been judged.
  bool Over() const { return over_; }
  // One result per phrase of the last run, in order (tries 0: not reached).
  const std::vector<SingBackResult>& Results() const { return results_; }

 private:
  PlayerEar* ear_ = nullptr;
  int32_t attempt_ = 0;
  int32_t end_ = 0;  // the phrase after the exercise's last
  bool over_ = false;
  std::vector<SingBackResult> results_;
};
