#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "history/PracticeStore.h"

namespace history {

// Takes that start within this long of the previous take's end belong to one sitting: the
// time between them (the phrase played, the cue, the verdict read) is practice too.
constexpr int64_t kSittingGapMs = 5 * 60 * 1000;

// The time spent practising over `takes` (in time order): each sitting from the start of its
// first take to the end of its last.
int64_t PracticeMs(const std::vector<TakeSpan>& takes);

// Practice time as the learner reads it (UTF-8): "0 分钟" for none, seconds under a minute
// ("20 秒", a started second counting as one), whole minutes from one minute on ("1 分钟").
std::string PracticeTimeText(int64_t ms);

}  // namespace history
