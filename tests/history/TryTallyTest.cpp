// The tally of tries, without a database: the best try by its share of hits, the latest try
// whatever order the tries come in, and the local calendar days practised.
#include <gtest/gtest.h>

#include <vector>

#include "history/TryTally.h"
#include "tests/history/HistoryFixtures.h"

namespace {

using historytest::UtcMs;

struct Try {
  int64_t unixMs;
  int32_t utcOffsetMinutes;
  int32_t hits, notes;
  bool passed;
};

struct Expected {
  int64_t tries, passed;
  int32_t bestHits, bestNotes;
  int32_t lastHits, lastNotes;
  bool lastPassed;
  int64_t firstMs, lastMs;
  int32_t days;
};

const int64_t kMay1 = UtcMs(2024, 5, 1, 10);
const int64_t kMay2 = UtcMs(2024, 5, 2, 9);
const int64_t kMay3 = UtcMs(2024, 5, 3, 8);

TEST(TryTallyTest, TriesAreSummedUp) {
  const struct {
    const char* name;
    std::vector<Try> tries;  // in the order added
    Expected expected;
  } cases[] = {
      {"no tries: all zero", {}, {0, 0, 0, 0, 0, 0, false, 0, 0, 0}},
      {"one try without a hit is both the best and the last",
       {{kMay1, 0, 0, 5, false}},
       {1, 0, 0, 5, 0, 5, false, kMay1, kMay1, 1}},
      {"the best has the highest share of hits, not the most hits",
       {{kMay1, 0, 9, 12, false}, {kMay2, 0, 4, 5, true}, {kMay3, 0, 7, 10, false}},
       {3, 1, 4, 5, 7, 10, false, kMay1, kMay3, 3}},
      {"a try with nothing to judge counts as whole",
       {{kMay1, 0, 4, 5, true}, {kMay2, 0, 0, 0, true}},
       {2, 2, 0, 0, 0, 0, true, kMay1, kMay2, 2}},
      {"of equal shares the first added stays best",
       {{kMay1, 0, 4, 5, true}, {kMay2, 0, 8, 10, true}},
       {2, 2, 4, 5, 8, 10, true, kMay1, kMay2, 2}},
      {"the last is the latest, the first the earliest, whatever order they come in",
       {{kMay2, 0, 2, 5, false}, {kMay3, 0, 3, 5, false}, {kMay1, 0, 5, 5, true}},
       {3, 1, 5, 5, 3, 5, false, kMay1, kMay3, 3}},
      {"of tries at the same moment the last added is the last",
       {{kMay1, 0, 2, 5, false}, {kMay1, 0, 4, 5, true}},
       {2, 1, 4, 5, 4, 5, true, kMay1, kMay1, 1}},
      {"days are counted on the learner's local calendar",
       // 23:30 UTC in UTC+2 is May 2 there; 01:00 UTC on May 2 in UTC-3 is May 1 there.
       {{UtcMs(2024, 5, 1, 23, 30), 120, 1, 1, true},
        {kMay2, 0, 1, 1, true},
        {UtcMs(2024, 5, 2, 1), -180, 1, 1, true},
        {kMay1, 0, 1, 1, true}},
       {4, 4, 1, 1, 1, 1, true, kMay1, kMay2, 2}},
  };
  for (const auto& c : cases) {
    history::CTryTallier tallier;
    for (const Try& t : c.tries)
      tallier.Add({t.unixMs, t.utcOffsetMinutes}, t.hits, t.notes, t.passed);
    const history::TryTally tally = tallier.Tally();
    const Expected& e = c.expected;
    EXPECT_EQ(tally.tries, e.tries) << c.name;
    EXPECT_EQ(tally.passed, e.passed) << c.name;
    EXPECT_EQ(tally.bestHits, e.bestHits) << c.name;
    EXPECT_EQ(tally.bestNotes, e.bestNotes) << c.name;
    EXPECT_EQ(tally.lastHits, e.lastHits) << c.name;
    EXPECT_EQ(tally.lastNotes, e.lastNotes) << c.name;
    EXPECT_EQ(tally.lastPassed, e.lastPassed) << c.name;
    EXPECT_EQ(tally.first.unixMs, e.firstMs) << c.name;
    EXPECT_EQ(tally.last.unixMs, e.lastMs) << c.name;
    EXPECT_EQ(tally.days, e.days) << c.name;
  }
}

TEST(TryTallyTest, TheLatestSoFarIsKnownBeforeATryIsAdded) {
  history::CTryTallier tallier;
  EXPECT_TRUE(tallier.IsLatest({kMay2, 0})) << "the first try is the latest";
  tallier.Add({kMay2, 0}, 1, 2, false);
  EXPECT_FALSE(tallier.IsLatest({kMay1, 0}));
  EXPECT_TRUE(tallier.IsLatest({kMay2, 0})) << "a tie goes to the one added later";
  EXPECT_TRUE(tallier.IsLatest({kMay3, 0}));
}

}  // namespace
