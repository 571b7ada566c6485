#include "history/TryTally.h"

#include "listening/TakeJudge.h"

namespace history {

bool CTryTallier::IsLatest(const WallTime& when) const {
  return tally_.tries == 0 || when.unixMs >= tally_.last.unixMs;
}

void CTryTallier::Add(const WallTime& when, int32_t hits, int32_t notes, bool passed) {
  if (tally_.tries == 0 ||
      listening::HitShare(hits, notes) > listening::HitShare(tally_.bestHits, tally_.bestNotes)) {
    tally_.bestHits = hits;
    tally_.bestNotes = notes;
  }
  if (IsLatest(when)) {
    tally_.last = when;
    tally_.lastHits = hits;
    tally_.lastNotes = notes;
    tally_.lastPassed = passed;
  }
  if (tally_.tries == 0 || when.unixMs < tally_.first.unixMs) tally_.first = when;
  ++tally_.tries;
  tally_.passed += passed ? 1 : 0;
  days_.insert(LocalDay(when));
}

TryTally CTryTallier::Tally() const {
  TryTally tally = tally_;
  tally.days = static_cast<int32_t>(days_.size());
  return tally;
}

}  // namespace history
