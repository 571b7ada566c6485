// The notes a take is judged against: which notes of a phrase, timed as the player lays them
// out, raised by the transposition.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "listening/PhraseTargets.h"
#include "notation/Score.h"
#include "tests/notation/NotationTestSupport.h"

namespace {

using listening::TargetNote;

struct Expected {
  int32_t index, pitch, startMs, endMs;
};

class PhraseTargetsTest : public ::testing::Test {
 protected:
  const Phrase& Parse(const std::string& text) {
    const std::string outcome = notation_test::ParseOutcome(text, *score);
    EXPECT_EQ(outcome, "") << text;
    EXPECT_GE(score->phraseCount, 1) << text;
    return score->phrases[0];
  }

  std::unique_ptr<Score> score = std::make_unique<Score>();
};

TEST_F(PhraseTargetsTest, NotesTimedAsThePlayerLaysThemOut) {
  const struct {
    const char* name;
    const char* text;
    int32_t transpose;
    std::vector<Expected> targets;
    int32_t lengthMs;
  } cases[] = {
      {"600 ms beats",
       "s=100,0.1,1,0.1,2,1,3",
       0,
       {{0, 60, 0, 300}, {1, 62, 300, 600}, {2, 64, 600, 1200}},
       1200},
      // 60000 / 70 = 857 ms a beat; a triplet third of a beat truncates to 285.
      {"whole ms per beat, times truncated",
       "s=70,0.3,1,0.3,2,0.3,3,1,5",
       0,
       {{0, 60, 0, 285}, {1, 62, 285, 571}, {2, 64, 571, 857}, {3, 67, 857, 1714}},
       1714},
      {"rests are not sung", "s=120,1,1,1,0,1,3", 0, {{0, 60, 0, 500}, {2, 64, 1000, 1500}}, 1500},
      {"raised", "s=120,1,1,1,5", 3, {{0, 63, 0, 500}, {1, 70, 500, 1000}}, 1000},
      {"lowered", "s=120,1,1,1,5", -12, {{0, 48, 0, 500}, {1, 55, 500, 1000}}, 1000},
      {"a key raised past 127 never sounds", "s=120,1,500000,1,1", 2, {{1, 62, 500, 1000}}, 1000},
      {"a key lowered below 1 never sounds", "s=120,1,0.0001,1,1", -20, {{1, 40, 500, 1000}}, 1000},
      {"the key of D", "do=D s=120,1,1,1,3", 0, {{0, 62, 0, 500}, {1, 66, 500, 1000}}, 1000},
      {"only the first voice",
       "s=120,1,1,1,3 &1,5,1,1",
       0,
       {{0, 60, 0, 500}, {1, 64, 500, 1000}},
       1000},
      {"a chord's zero-length notes are left out",
       "s=120,0,1,0,3,1,5,1,1",
       0,
       {{2, 67, 0, 500}, {3, 60, 500, 1000}},
       1000},
  };
  for (const auto& c : cases) {
    const Phrase& phrase = Parse(c.text);
    const std::vector<TargetNote> targets = listening::PhraseTargets(phrase, c.transpose);
    ASSERT_EQ(targets.size(), c.targets.size()) << c.name;
    for (size_t i = 0; i < targets.size(); ++i) {
      EXPECT_EQ(targets[i].index, c.targets[i].index) << c.name << " note " << i;
      EXPECT_EQ(targets[i].pitch, c.targets[i].pitch) << c.name << " note " << i;
      EXPECT_EQ(targets[i].startMs, c.targets[i].startMs) << c.name << " note " << i;
      EXPECT_EQ(targets[i].endMs, c.targets[i].endMs) << c.name << " note " << i;
    }
    EXPECT_EQ(listening::PhraseLengthMs(phrase), c.lengthMs) << c.name;
  }
}

TEST_F(PhraseTargetsTest, AnEmptySlotHasNoTargets) {
  const Phrase empty;
  EXPECT_TRUE(listening::PhraseTargets(empty, 0).empty());
  EXPECT_EQ(listening::PhraseLengthMs(empty), 0);
}

TEST_F(PhraseTargetsTest, ATimeBeyond32BitsIsRefused) {
  // At a tempo of 1 a beat lasts a minute; 3600 notes of 10 beats end past 2^31 ms.
  std::string text = "s=1";
  for (int i = 0; i < 3600; ++i) text += ",1000000000,1";
  const Phrase& phrase = Parse(text);
  EXPECT_THROW(listening::PhraseTargets(phrase, 0), std::out_of_range);
}

}  // namespace
