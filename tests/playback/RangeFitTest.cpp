// Fitting a phrase into a singer's range: practice's ladder and the transposition of the other
// modes, from the keys the singer sings.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "notation/Score.h"
#include "playback/RangeFit.h"

namespace {

using Keys = std::vector<int32_t>;

const Keys kCToG = {60, 62, 64, 65, 67};              // C4-G4, seven semitones
const Keys kCToC = {60, 62, 64, 65, 67, 69, 71, 72};  // C4-C5, an octave
const Keys kWideSpread = {50, 60, 60, 60, 70};        // most of it on one note

TEST(RangeFitTest, TheLadderStartsAtTheBottomOfTheRangeWithTheLevelsThatFit) {
  struct Case {
    const char* name;
    Keys keys;
    VoiceRange range;
    int32_t base;
    int32_t levels;
  };
  const Case cases[] = {
      {"narrower, room for more than twelve", kCToG, {45, 64}, -15, 12},
      {"narrower, room for two more", kCToG, {48, 57}, -12, 3},
      {"as wide as the range", kCToG, {53, 60}, -7, 1},
      {"above a high range", kCToG, {70, 84}, 10, 8},
      // Five of eight notes fit at -3, -5, -7 and -8; -5 centres the phrase.
      {"wider than the range", kCToC, {57, 64}, -5, 1},
      // The notes count, not the span: the three Cs inside, one note either side out.
      {"wider, most notes on one key", kWideSpread, {58, 64}, 1, 1},
      {"nothing to sing", {}, {45, 64}, 0, 12},
  };
  for (const Case& c : cases) {
    const PracticeLadder ladder = FitPracticeLadder(c.keys, c.range);
    EXPECT_EQ(ladder.base, c.base) << c.name;
    EXPECT_EQ(ladder.levels, c.levels) << c.name;
  }
}

TEST(RangeFitTest, TheTranspositionKeepsTheWrittenKeyThenOctavesThenCentres) {
  struct Case {
    const char* name;
    Keys keys;
    VoiceRange range;
    int32_t shift;
  };
  const Case cases[] = {
      {"fits as written", kCToG, {57, 69}, 0},
      {"fits as written at the range's edges", kCToG, {60, 67}, 0},
      {"an octave down", kCToG, {45, 64}, -12},
      {"an octave up", {48, 50, 55}, {60, 72}, 12},
      {"two octaves down", {72, 76}, {45, 52}, -24},
      {"the nearest octave of two that fit", kCToG, {30, 58}, -12},
      // G4-G5 into A2-E4: no octave fits, so the middle of the phrase goes to the middle.
      {"no octave fits: centred", {67, 79}, {45, 64}, -19},
      {"wider than the range", kCToC, {57, 64}, -5},
      {"nothing to sing", {}, {45, 64}, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(FitTransposition(c.keys, c.range), c.shift) << c.name;
}

TEST(RangeFitTest, SungKeysAreTheFirstVoicesLastingNotesSorted) {
  auto score = std::make_unique<Score>();
  // A chord's zero-length note (key 64), a rest, then a second voice an octave below.
  const char text[] = "0,3,1,5,1,0,1,1 &1,0.1,10,0.5";
  ParseScore(text, static_cast<int32_t>(std::strlen(text)), *score);
  Keys keys;
  SungKeys(score->phrases[0], keys);
  EXPECT_EQ(keys, Keys({60, 67}));

  CRangeFit fit;
  fit.Fit(*score, VoiceRange{45, 64});
  EXPECT_EQ(fit.Shift(0), -12);
  EXPECT_EQ(fit.Ladder(0).base, -15);
  EXPECT_EQ(fit.Shift(5), 0) << "a phrase beyond the score keeps its pitch";
  fit.Fit(*score, std::nullopt);
  EXPECT_EQ(fit.Shift(0), 0);
  EXPECT_EQ(fit.Ladder(0).levels, kPracticeLevels);
}

}  // namespace
