#pragma once

#include <cstdint>
#include <vector>

#include "history/PracticeStore.h"

namespace history {

// Takes that start within this long of the previous take's end belong to one sitting: the
// time between them (the phrase played, the cue, the verdict read) is practice too.
constexpr int64_t kSittingGapMs = 5 * 60 * 1000;

// The time spent practising over `takes` (in time order): each sitting from the start of its
// first take to the end of its last.
int64_t PracticeMs(const std::vector<TakeSpan>& takes);

}  // namespace history
