#include <gtest/gtest.h>

#include <vector>

#include "audio/BufferPlan.h"

namespace {

TEST(BufferPlanTest, EachDropoutDoublesTheBufferUpToTheMost) {
  audio::CBufferPlan plan(audio::CBufferPlan::kStartFrames, audio::CBufferPlan::kMostFrames);
  EXPECT_EQ(plan.Frames(), 1024) << "23 ms: a press is heard at once";
  const std::vector<int64_t> after = {2048, 4096, 8192, 8192, 8192};
  for (size_t i = 0; i < after.size(); ++i) {
    EXPECT_EQ(plan.Underrun(), i < 3) << i;
    EXPECT_EQ(plan.Frames(), after[i]) << i;
  }
}

TEST(BufferPlanTest, AFixedPlanAndOneStartedAtTheMostNeverChange) {
  for (audio::CBufferPlan plan : {audio::CBufferPlan::Fixed(3000), audio::CBufferPlan(8192, 8192),
                                  audio::CBufferPlan(9000, 8192)}) {
    const int64_t start = plan.Frames();
    EXPECT_FALSE(plan.Underrun());
    EXPECT_EQ(plan.Frames(), start);
  }
}

}  // namespace
