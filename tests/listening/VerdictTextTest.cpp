// The verdicts' words: each reads back as the verdict it names (the practice history stores
// them), and nothing else reads as one.
#include <gtest/gtest.h>

#include "listening/VerdictText.h"

namespace {

using namespace listening;

TEST(VerdictTextTest, EachVerdictReadsBackFromItsName) {
  const struct {
    Verdict verdict;
    const char* name;
  } cases[] = {
      {Verdict::kHit, "hit"}, {Verdict::kMissed, "missed"}, {Verdict::kNotSung, "not sung"}};
  for (const auto& c : cases) {
    EXPECT_STREQ(VerdictName(c.verdict), c.name);
    Verdict read = c.verdict == Verdict::kHit ? Verdict::kMissed : Verdict::kHit;
    ASSERT_TRUE(ParseVerdict(c.name, read)) << c.name;
    EXPECT_EQ(read, c.verdict) << c.name;
  }
}

TEST(VerdictTextTest, OtherTextIsNoVerdict) {
  for (const char* text : {"", "Hit", "not_sung", "hit ", "miss"}) {
    Verdict verdict = Verdict::kMissed;
    EXPECT_FALSE(ParseVerdict(text, verdict)) << '"' << text << '"';
    EXPECT_EQ(verdict, Verdict::kMissed) << "left as it was";
  }
}

TEST(VerdictTextTest, LevelVerdictNames) {
  const struct {
    LevelVerdict verdict;
    const char* name;
  } cases[] = {{LevelVerdict::kGood, "good"},
               {LevelVerdict::kTooQuiet, "too quiet"},
               {LevelVerdict::kOverloaded, "overloaded"},
               {LevelVerdict::kSilent, "silent"},
               {LevelVerdict::kUnmeasured, "unmeasured"}};
  for (const auto& c : cases) EXPECT_STREQ(LevelVerdictName(c.verdict), c.name);
}

}  // namespace
