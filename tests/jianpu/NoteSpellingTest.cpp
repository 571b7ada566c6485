// How a note's two numbers are written: its pitch token as a degree with octave dots and a
// sharp, its length as underlines, dashes and augmentation dots.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "jianpu/NoteSpelling.h"
#include "notation/ScoreParseError.h"

namespace {

TokenSpan Token(const char* text) { return {text, static_cast<int32_t>(std::strlen(text))}; }

struct PitchCase {
  const char* token;
  int32_t degree;
  int32_t octave;
  bool sharp;
};

TEST(NoteSpellingTest, PitchTokensAreWrittenAsDegreeOctaveAndSharp) {
  const PitchCase cases[] = {
      {"1", 1, 0, false},
      {"5", 5, 0, false},
      {"7", 7, 0, false},
      {"10", 1, 1, false},
      {"30", 3, 1, false},
      {"100", 1, 2, false},
      {"0.3", 3, -1, false},
      {"0.01", 1, -2, false},
      {"0.7", 7, -1, false},
      {"1.5", 1, 0, true},
      {"4.5", 4, 0, true},
      {"15", 1, 1, true},
      {"0.15", 1, -1, true},
      {"0.45", 4, -1, true},
      // 3 and 7 have no raised form: they are written plain.
      {"3.5", 3, 0, false},
      {"0.75", 7, -1, false},
      // A rest is 0, without dots.
      {"0", 0, 0, false},
      {"0.0", 0, 0, false},
  };
  for (const PitchCase& c : cases) {
    const jianpu::WrittenPitch written = jianpu::WritePitch(Token(c.token));
    EXPECT_EQ(written.degree, c.degree) << c.token;
    EXPECT_EQ(written.octave, c.octave) << c.token;
    EXPECT_EQ(written.sharp, c.sharp) << c.token;
  }
  EXPECT_THROW(jianpu::WritePitch(Token("8")), ScoreParseError);
}

// A length as its heads: "u" underlines, "-" dashes, "." dots; heads tied by "~".
std::string Heads(double beats) {
  std::string text;
  for (const jianpu::WrittenLength& head : jianpu::WriteLength(beats)) {
    if (!text.empty()) text += "~";
    text += "x" + std::string(static_cast<size_t>(head.underlines), 'u') +
            std::string(static_cast<size_t>(head.dashes), '-') +
            std::string(static_cast<size_t>(head.dots), '.');
  }
  return text;
}

struct LengthCase {
  double beats;
  const char* written;
};

TEST(NoteSpellingTest, EveryLengthOfTheNotationHasItsWrittenForm) {
  const LengthCase cases[] = {
      {1.0, "x"},
      {2.0, "x-"},
      {3.0, "x--"},
      {4.0, "x---"},
      {0.5, "xu"},
      {0.25, "xuu"},
      {0.125, "xuuu"},
      {0.0625, "xuuuu"},
      {0.015625, "xuuuuuu"},
      {1.5, "x."},
      {0.75, "xu."},
      {0.375, "xuu."},
      {1.75, "x.."},
      {2.5, "x-."},
      // Triplets are written as the length they stand in for, under their bracket.
      {2.0 / 3.0, "x"},
      {1.0 / 3.0, "xu"},
      {1.0 / 6.0, "xuu"},
      {1.0 / 12.0, "xuuu"},
      // What one head cannot write is tied heads.
      {1.25, "x~xuu"},
      {0.984375, "xu..~xuuuu.."},
      {0.625, "xu~xuuu"},
      // A chord's note of no length: one head, drawn with the note it sounds with.
      {0.0, "x"},
  };
  for (const LengthCase& c : cases) EXPECT_EQ(Heads(c.beats), c.written) << c.beats;
  EXPECT_TRUE(jianpu::IsTripletLength(1.0 / 3.0));
  EXPECT_FALSE(jianpu::IsTripletLength(0.5));
}

}  // namespace
