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

std::string PracticeTimeText(int64_t ms) {
  if (ms <= 0) return "0 分钟";
  // A short first try still shows: seconds are rounded up below a minute.
  const int64_t seconds = (ms + 999) / 1000;
  if (seconds < 60) return std::to_string(seconds) + " 秒";
  return std::to_string((ms + 30000) / 60000) + " 分钟";
}

}  // namespace history
