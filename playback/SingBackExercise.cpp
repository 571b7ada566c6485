#include "playback/SingBackExercise.h"

#include <cstddef>

const char kNoEarMessage[] = "Sing-back needs a microphone: no sound input is available.";
const char kInputLostMessage[] = "麦克风没有声音了";

void CSingBackExercise::Begin(int32_t end, int32_t phraseCount) {
  end_ = end;
  over_ = false;
  attempt_ = 1;
  results_.assign(static_cast<size_t>(phraseCount), SingBackResult{});
}

TakeVerdict CSingBackExercise::FinishTake(int32_t row, Next& next) {
  const TakeVerdict verdict = ear_->FinishTake();
  if (verdict.inputLost) {
    next = Next::kInputLost;
    return verdict;
  }
  if (!verdict.heard) {
    // Too quiet to judge: it does not use a try up.
    next = Next::kSameTry;
    return verdict;
  }
  SingBackResult& result = results_[row];
  result.tries = attempt_;
  result.passed = verdict.passed;
  result.hits = verdict.hits;
  result.judged = verdict.judged;
  if (!verdict.passed && attempt_ < kSingBackTries) {
    next = Next::kSamePhrase;
  } else if (row + 1 >= end_) {
    next = Next::kOver;
    over_ = true;
  } else {
    next = Next::kNextPhrase;
  }
  return verdict;
}
