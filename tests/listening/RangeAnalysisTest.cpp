// Reading a range exercise: the notes held at least 300 ms count, a squeak or growl does not;
// and the range written as note names.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "listening/RangeAnalysis.h"
#include "listening/VoiceRangeText.h"

namespace listening {
namespace {

constexpr double kHopMs = 256000.0 / 44100.0;  // the tracker's hop at 44.1 kHz

// A stretch of the take: a key held (0: silence) for lengthMs, bent by `cents`, with a 5 Hz
// vibrato of vibratoCents either way; glideTo > 0 slides evenly from the key to that key.
struct Stretch {
  int32_t key;
  double lengthMs;
  double cents = 0.0;
  double vibratoCents = 0.0;
  int32_t glideTo = 0;
};

PitchTrack Sung(const std::vector<Stretch>& stretches, int octaveSlipEvery = 0) {
  PitchTrack track;
  track.hopMs = kHopMs;
  double startMs = 0.0;
  double t = 0.0;
  int frame = 0;
  for (const Stretch& s : stretches) {
    for (; t < startMs + s.lengthMs; t += kHopMs, ++frame) {
      if (s.key == 0) {
        track.frames.push_back({t, 0.0, 0.1, false});
        continue;
      }
      const double along = (t - startMs) / s.lengthMs;
      const double key = s.glideTo > 0 ? s.key + (s.glideTo - s.key) * along : s.key;
      double cents = 100.0 * key + s.cents + s.vibratoCents * std::sin(2 * M_PI * 5.0 * t / 1000);
      // The tracker now and then reads a frame an octave up.
      if (octaveSlipEvery > 0 && frame % octaveSlipEvery == 0) cents += 1200.0;
      track.frames.push_back({t, cents, 0.9, true});
    }
    startMs += s.lengthMs;
  }
  return track;
}

// A scale from `low` to `high` a semitone at a time, each note held `noteMs`.
std::vector<Stretch> Scale(int32_t low, int32_t high, double noteMs, double vibrato = 0.0) {
  std::vector<Stretch> scale;
  for (int32_t key = low; key <= high; ++key) scale.push_back({key, noteMs, 0.0, vibrato});
  return scale;
}

std::vector<Stretch> Join(std::vector<std::vector<Stretch>> parts) {
  std::vector<Stretch> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const Stretch kSilence{0, 400.0};
const Stretch kGrowl{33, 150.0};   // A1, a moment below the range
const Stretch kSqueak{84, 150.0};  // C6, a moment above it

TEST(RangeAnalysisTest, TheLowestAndHighestHeldNotesCountAndShortOnesDoNot) {
  struct Case {
    const char* name;
    std::vector<Stretch> take;
    int octaveSlipEvery;
    bool found;
    int32_t lowest;
    int32_t highest;
  };
  const Case cases[] = {
      {"a scale A2-E4, growl and squeak at its ends",
       Join({{kSilence, kGrowl}, Scale(45, 64, 400.0), {kSqueak, kSilence}}), 0, true, 45, 64},
      {"the same with a ±90 cent vibrato",
       Join({{kSilence, kGrowl}, Scale(45, 64, 400.0, 90.0), {kSqueak, kSilence}}), 0, true, 45,
       64},
      {"the same with the tracker slipping an octave every seventh frame",
       Join({{kGrowl}, Scale(45, 64, 400.0), {kSqueak}}), 7, true, 45, 64},
      {"squeak and growl inside the take, between breaths",
       Join({{kGrowl, kSilence}, Scale(50, 60, 350.0), {kSilence, kSqueak, kSilence, kGrowl}}), 0,
       true, 50, 60},
      {"notes joined by slow glides",
       {{48, 500.0}, {48, 1500.0, 0, 0, 55}, {55, 500.0}, {55, 1500.0, 0, 0, 62}, {62, 500.0}},
       0,
       true,
       48,
       62},
      {"a note sung 45 cents flat with a wobble", {{57, 600.0, -45.0, 15.0}}, 0, true, 57, 57},
      {"every note held 280 ms: none held long enough",
       Join({{kSilence}, Scale(45, 64, 280.0), {kSilence}}), 0, false, 0, 0},
      {"only the growl and the squeak", {kGrowl, kSilence, kSqueak}, 0, false, 0, 0},
      {"nothing sung", {kSilence, kSilence}, 0, false, 0, 0},
  };
  for (const Case& c : cases) {
    const SungRange range = FindSungRange(Sung(c.take, c.octaveSlipEvery));
    EXPECT_EQ(range.Found(), c.found) << c.name;
    if (!c.found || !range.Found()) continue;
    EXPECT_EQ(range.lowest, c.lowest) << c.name;
    EXPECT_EQ(range.highest, c.highest) << c.name;
    for (const HeldNote& note : range.held) EXPECT_GE(note.lengthMs, 300.0) << c.name;
  }
}

TEST(RangeAnalysisTest, EachHeldNoteKeepsItsKeyStartAndLength) {
  const SungRange range = FindSungRange(Sung({kSilence, {57, 1000.0}, kSilence, {60, 500.0}}));
  ASSERT_EQ(range.held.size(), 2u);
  EXPECT_EQ(range.held[0].key, 57);
  EXPECT_NEAR(range.held[0].startMs, 400.0, kHopMs);
  EXPECT_NEAR(range.held[0].lengthMs, 1000.0, kHopMs);
  EXPECT_EQ(range.held[1].key, 60);
  EXPECT_NEAR(range.held[1].lengthMs, 500.0, kHopMs);
}

TEST(VoiceRangeTextTest, RangesReadAsTwoNoteNamesLowBelowHigh) {
  struct Case {
    std::string text;
    bool ok;
    int32_t low;
    int32_t high;
    const char* problem;  // part of the message when refused
  };
  const Case cases[] = {
      {"A2-E4", true, 45, 64, ""},
      {" a2 - e4 ", true, 45, 64, ""},
      {"F#3-Bb4", true, 54, 70, ""},
      {"A2\xE2\x80\x93"
       "E4",
       true, 45, 64, ""},  // an en dash
      {"C-1-G9", true, 0, 127, ""},
      {"C-1-C4", true, 0, 60, ""},
      {"E4-A2", false, 0, 0, "the range's low note E4 must be below its high note A2"},
      {"A3-A3", false, 0, 0, "must be below"},
      {"A2", false, 0, 0, "'A2' is no range: give the lowest and highest note, such as A2-E4"},
      {"H2-E4", false, 0, 0, "is no range"},
      {"A2-E", false, 0, 0, "is no range"},
      {"A2-E10", false, 0, 0, "is no range"},
      {"A2-G#9", false, 0, 0, "is no range"},  // key 128
      {"", false, 0, 0, "is no range"},
  };
  for (const Case& c : cases) {
    std::string problem;
    const std::optional<VoiceRange> range = ParseVoiceRange(c.text, problem);
    ASSERT_EQ(range.has_value(), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(range->low, c.low) << c.text;
      EXPECT_EQ(range->high, c.high) << c.text;
      EXPECT_EQ(ParseVoiceRange(VoiceRangeText(*range), problem)->low, c.low) << "round trip";
    } else {
      EXPECT_NE(problem.find(c.problem), std::string::npos) << c.text << ": " << problem;
    }
  }
  EXPECT_EQ(VoiceRangeText({45, 64}), "A2-E4");
  EXPECT_EQ(VoiceRangeText({54, 70}), "F#3-A#4");
}

}  // namespace
}  // namespace listening
