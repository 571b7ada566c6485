#pragma once

#include <cstdint>
#include <set>

#include "history/WallClock.h"

namespace history {

// The tries of a phrase (or of a whole score) summed up.
struct TryTally {
  int64_t tries = 0;
  int64_t passed = 0;
  int32_t bestHits = 0;  // the try with the highest share of hits
  int32_t bestNotes = 0;
  int32_t lastHits = 0;  // the latest try
  int32_t lastNotes = 0;
  bool lastPassed = false;
  WallTime first;
  WallTime last;
  int32_t days = 0;  // local calendar days with a try
};

// Sums tries up one at a time; they may come in any order. The best try is the one with the
// highest share of hits (the first added of equals; one with nothing to judge counts as
// whole), the last the latest (the last added of equals).
class CTryTallier {
 public:
  // Whether a try at `when` would be the latest so far.
  bool IsLatest(const WallTime& when) const;
  void Add(const WallTime& when, int32_t hits, int32_t notes, bool passed);
  TryTally Tally() const;

 private:
  TryTally tally_;
  std::set<int64_t> days_;
};

}  // namespace history
