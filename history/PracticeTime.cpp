#include "history/PracticeTime.h"

#include <algorithm>

namespace history {

int64_t PracticeMs(const std::vector<TakeSpan>& takes) {
  int64_t total = 0;
  bool sitting = false;
  int64_t sittingStart = 0;
  int64_t sittingEnd = 0;
  for (const TakeSpan& take : takes) {
    const int64_t start = take.endMs - std::max<int32_t>(0, take.lengthMs);
    if (sitting && start - sittingEnd <= kSittingGapMs) {
      sittingEnd = std::max(sittingEnd, take.endMs);
      continue;
    }
    if (sitting) total += sittingEnd - sittingStart;
    sitting = true;
    sittingStart = start;
    sittingEnd = take.endMs;
  }
  if (sitting) total += sittingEnd - sittingStart;
  return total;
}

}  // namespace history
