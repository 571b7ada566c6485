#include <gtest/gtest.h>

#include <vector>

#include "audio/BufferPlan.h"

namespace {

// What the buffer is after each quiet moment, given the dropouts before it.
TEST(BufferPlanTest, DoublesForEachDropoutAtTheNextQuietMomentUpToTheMost) {
  struct Case {
    const char* why;
    std::vector<int> dropoutsBeforeEachSettle;
    std::vector<int64_t> frames;  // after each settle
  };
  const Case cases[] = {
      {"no dropout: the buffer stays short", {0, 0, 0}, {1024, 1024, 1024}},
      {"one dropout doubles it, once", {1, 0, 0}, {2048, 2048, 2048}},
      {"a stall's burst doubles it per dropout", {2}, {4096}},
      {"one per play, three plays", {1, 1, 1}, {2048, 4096, 8192}},
      {"never beyond the most", {1, 1, 1, 1, 5}, {2048, 4096, 8192, 8192, 8192}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    audio::CBufferPlan plan(audio::CBufferPlan::kStartFrames, audio::CBufferPlan::kMostFrames);
    EXPECT_EQ(plan.Frames(), 1024);
    int64_t before = plan.Frames();
    for (size_t i = 0; i < c.dropoutsBeforeEachSettle.size(); ++i) {
      for (int k = 0; k < c.dropoutsBeforeEachSettle[i]; ++k) plan.Underrun();
      // Between quiet moments the length holds, whatever runs dry.
      EXPECT_EQ(plan.Frames(), before);
      EXPECT_EQ(plan.Settle(), c.frames[i] != before) << i;
      EXPECT_EQ(plan.Frames(), c.frames[i]) << i;
      before = plan.Frames();
    }
  }
}

TEST(BufferPlanTest, AFixedPlanNeverChanges) {
  audio::CBufferPlan plan = audio::CBufferPlan::Fixed(3000);
  for (int i = 0; i < 3; ++i) {
    plan.Underrun();
    EXPECT_FALSE(plan.Settle());
    EXPECT_EQ(plan.Frames(), 3000);
  }
}

}  // namespace
