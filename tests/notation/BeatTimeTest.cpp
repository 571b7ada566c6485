// Beats to whole milliseconds in 32 bits: the one conversion the timeline layout and the
// judge's targets both use, so that a take is judged where its notes were played.

#include <gtest/gtest.h>

#include <limits>
#include <optional>

#include "notation/BeatTime.h"

namespace {

struct BeatCase {
  const char* why;
  double beats;
  int32_t msPerBeat;
  std::optional<int32_t> ms;
};

TEST(BeatTimeTest, BeatsToWholeMillisecondsOrNone) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const BeatCase cases[] = {
      {"zero", 0.0, 600, 0},
      {"a beat at 100 per minute", 1.0, 600, 600},
      {"a tenth (eighth) note at 100", 0.1, 600, 60},
      {"a fraction truncates down", 2.75, 1, 2},
      {"a negative time truncates toward zero", -1.5, 1, -1},
      {"the largest 32-bit time", 2147483647.0, 1, 2147483647},
      {"one past it", 2147483648.0, 1, std::nullopt},
      {"a product past 32 bits", 4294967.296, 500, std::nullopt},
      {"just under it truncates to the largest", 2147483647.9, 1, 2147483647},
      {"the most negative 32-bit time", -2147483648.0, 1, -2147483647 - 1},
      {"one below it", -2147483649.0, 1, std::nullopt},
      {"not a number", nan, 600, std::nullopt},
      {"infinite", inf, 600, std::nullopt},
  };
  for (const BeatCase& c : cases) EXPECT_EQ(BeatsToMs(c.beats, c.msPerBeat), c.ms) << c.why;
}

TEST(BeatTimeTest, FitsExactlyTheSigned32BitRange) {
  EXPECT_TRUE(FitsInt32Ms(2147483647.0));
  EXPECT_TRUE(FitsInt32Ms(2147483647.5));  // truncates to the largest
  EXPECT_FALSE(FitsInt32Ms(2147483648.0));
  EXPECT_TRUE(FitsInt32Ms(-2147483648.0));
  EXPECT_FALSE(FitsInt32Ms(-2147483648.5));
  EXPECT_FALSE(FitsInt32Ms(std::numeric_limits<double>::quiet_NaN()));
}

}  // namespace
