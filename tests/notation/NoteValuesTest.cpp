#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "notation/NoteValues.h"
#include "notation/Phrase.h"
#include "notation/ScoreParseError.h"

namespace {

TokenSpan Span(const std::string& text) {
  return TokenSpan{text.data(), static_cast<int32_t>(text.size())};
}

// Runs `call` and returns the ScoreParseError message, or "" when nothing was raised.
template <typename Call>
std::string MessageOf(Call call) {
  try {
    call();
  } catch (const ScoreParseError& error) {
    return error.what();
  }
  return "";
}

struct NumberCase {
  const char* token;
  double value;
};

TEST(NumberValue, TakesTheLongestDecimalPrefix) {
  const std::vector<NumberCase> cases = {
      {"1", 1.0},  {"1.2.3", 1.2}, {".5", 0.5},    {"1.", 1.0},     {".", 0.0},
      {"..", 0.0}, {"007", 7.0},   {"0.25", 0.25}, {"12.5.", 12.5}, {"3..1", 3.0},
  };
  for (const NumberCase& c : cases) {
    EXPECT_DOUBLE_EQ(NumberValue(Span(c.token)), c.value) << c.token;
  }
}

TEST(NumberValue, TokensOver999CharactersAreWorthZero) {
  EXPECT_GT(NumberValue(Span(std::string(999, '1'))), 1e300);
  EXPECT_EQ(NumberValue(Span(std::string(1000, '1'))), 0.0);
}

struct DigitCountCase {
  const char* token;
  int32_t count;
};

TEST(IntegerDigitCount, CountsFromTheFirstNonZeroDigit) {
  const std::vector<DigitCountCase> cases = {
      {"10", 2}, {"01", 1},  {"0010", 2}, {"0.1", -1}, {"0.01", -2}, {"1.1", 1},
      {"0", 0},  {"0.0", 0}, {"100.", 3}, {"1..1", 1}, {".1", -1},
  };
  for (const DigitCountCase& c : cases) {
    EXPECT_EQ(IntegerDigitCount(Span(c.token)), c.count) << c.token;
  }
}

struct DurationCase {
  const char* token;
  double beats;  // when message is empty
  const char* message;
};

TEST(DurationBeats, ValuesAndMessages) {
  const std::vector<DurationCase> cases = {
      {"1", 1, ""},
      {"10", 2, ""},
      {"100", 3, ""},
      {"1000", 4, ""},
      {"11", 2, ""},
      {"010", 2, ""},
      {"01", 1, ""},
      {"1.", 1, ""},
      {"1..1", 1, ""},
      {"0.1", 0.5, ""},
      {"0.01", 0.25, ""},
      {"0.001", 0.125, ""},
      {"0.0001", 0.0625, ""},
      {"0.00001", 0.03125, ""},
      {"0.000001", 0.015625, ""},
      {".1", 0.5, ""},
      {"1.1", 1.5, ""},
      {"0.11", 0.75, ""},
      {"0.011", 0.375, ""},
      {"10.1", 2.5, ""},
      {"1.01", 1.25, ""},
      {"0.111111", 0.984375, ""},
      {"1111111111", 10, ""},
      {"3", 2.0 / 3.0, ""},
      {"03", 2.0 / 3.0, ""},
      {"3.0", 2.0 / 3.0, ""},
      {"0.3", 1.0 / 3.0, ""},
      {"0.30", 1.0 / 3.0, ""},
      {"0.03", 1.0 / 6.0, ""},
      {"0.003", 1.0 / 12.0, ""},
      {"0", 0, ""},
      {"00", 0, ""},
      {"0.0", 0, ""},
      {".", 0, ""},
      {"13", 0, "error timing003!"},
      {"0.33", 0, "error timing003!"},
      {"1.2.3", 0, "error timing003!"},
      {"2", 0, "error timeing001!"},
      {"0.2", 0, "error timeing001!"},
      {"5", 0, "error timeing001!"},
      {"12", 0, "error timeing002!"},
      {"0.12", 0, "error timeing002!"},
      {"0.0000001", 0, "error timing 004"},
      {"0.0000000001", 0, "error timing 004"},
      {"10000000000", 0, "error timing 004"},
      {"11111111.1", 0, "error timing 004"},
  };
  for (const DurationCase& c : cases) {
    const std::string token = c.token;
    if (c.message[0] == '\0') {
      double beats = -1;
      EXPECT_EQ(MessageOf([&] { beats = DurationBeats(Span(token)); }), "") << token;
      EXPECT_EQ(beats, c.beats) << token;  // exact: the nearest doubles
    } else {
      EXPECT_EQ(MessageOf([&] { DurationBeats(Span(token)); }), c.message) << token;
    }
  }
}

TEST(DurationBeats, OverlongAndHugeTokens) {
  // 1000 characters: worth 0, so a zero-length note whatever the digits.
  EXPECT_EQ(DurationBeats(Span(std::string(1000, '2'))), 0.0);
  // 400 digits converts to infinity: too long a length, not a hang or a wrong count.
  EXPECT_EQ(MessageOf([] { DurationBeats(Span(std::string(400, '1'))); }), "error timing 004");
}

struct PitchCase {
  const char* token;
  int32_t pitch;
  const char* message;
};

TEST(PitchNumber, NotesRestsAndMessages) {
  const std::vector<PitchCase> cases = {
      {"1", 60, ""},
      {"2", 62, ""},
      {"3", 64, ""},
      {"4", 65, ""},
      {"5", 67, ""},
      {"6", 69, ""},
      {"7", 71, ""},
      {"10", 72, ""},
      {"30", 76, ""},
      {"70", 83, ""},
      {"100", 84, ""},
      {"0.3", 52, ""},
      {"0.01", 36, ""},
      {"1.5", 61, ""},
      {"4.5", 66, ""},
      {"15", 73, ""},
      {"11", 73, ""},
      {"12", 73, ""},
      {"0.15", 49, ""},
      {"0.35", 52, ""},
      {"35", 76, ""},
      {"3.5", 64, ""},
      {"7.5", 71, ""},
      {"0.75", 59, ""},
      {"0", kRestPitch, ""},
      {"00", kRestPitch, ""},
      {"0.0", kRestPitch, ""},
      {".", kRestPitch, ""},
      {"1000000", 132, ""},
      {"0.0000001", -24, ""},
      {"8", 0, "error tune 1111!"},
      {"9", 0, "error tune 1111!"},
      {"80", 0, "error tune 1111!"},
      {"0.9", 0, "error tune 1111!"},
  };
  for (const PitchCase& c : cases) {
    const std::string token = c.token;
    if (c.message[0] == '\0') {
      int32_t pitch = 0;
      EXPECT_EQ(MessageOf([&] { pitch = PitchNumber(Span(token)); }), "") << token;
      EXPECT_EQ(pitch, c.pitch) << token;
    } else {
      EXPECT_EQ(MessageOf([&] { PitchNumber(Span(token)); }), c.message) << token;
    }
  }
}

TEST(PitchNumber, OverlongAndHugeTokensEnd) {
  EXPECT_EQ(PitchNumber(Span(std::string(1000, '9'))), kRestPitch);
  // 308 digits still normalise (octave 307); 309 and more convert to infinity and are refused.
  EXPECT_EQ(PitchNumber(Span("1" + std::string(307, '0'))), 60 + 12 * 307);
  EXPECT_EQ(MessageOf([] { PitchNumber(Span(std::string(400, '1'))); }), "error tune 1111!");
  EXPECT_EQ(MessageOf([] { PitchNumber(Span(std::string(999, '5'))); }), "error tune 1111!");
}

// A parsed-looking phrase of the given pitch tokens (durations "1").
struct PhraseFixture {
  std::vector<std::string> texts;
  Phrase phrase;

  explicit PhraseFixture(std::vector<std::string> pitchTokens) : texts(std::move(pitchTokens)) {
    const int32_t n = static_cast<int32_t>(texts.size());
    phrase.tokens = std::make_unique<TokenSpan[]>(2 * n);
    phrase.pitches = std::make_unique<int32_t[]>(n + 1);
    static const std::string one = "1";
    for (int32_t i = 0; i < n; ++i) {
      phrase.tokens[2 * i] = Span(one);
      phrase.tokens[2 * i + 1] = Span(texts[i]);
      phrase.pitches[i] = PitchNumber(phrase.tokens[2 * i + 1]);
    }
    phrase.pitches[n] = kPhraseEndPitch;
    phrase.tokenCount = 2 * n;
    phrase.noteCount = n;
  }
};

struct KeyCase {
  int32_t letter;
  int32_t accidental;
  int32_t offset;
};

TEST(TransposeToKey, MovesUpFromCByTheKeyAndKeepsTheEndMark) {
  const std::vector<KeyCase> cases = {
      {'A', 0, 9},   {'A', 1, 10}, {'A', -1, 8}, {'B', 0, 11},  {'B', 1, 12},
      {'B', -1, 10}, {'C', 0, 0},  {'C', 1, 1},  {'C', -1, -1}, {'D', 0, 2},
      {'E', -1, 3},  {'F', 0, 5},  {'G', 1, 8},  {'Z', 0, 0},
  };
  for (const KeyCase& c : cases) {
    PhraseFixture f({"1", "0", "10"});
    f.phrase.keyLetter = c.letter;
    f.phrase.accidental = c.accidental;
    TransposeToKey(f.phrase);
    TransposeToKey(f.phrase);  // recomputed from the tokens: twice is the same as once
    EXPECT_EQ(f.phrase.pitches[0], 60 + c.offset) << static_cast<char>(c.letter) << c.accidental;
    EXPECT_EQ(f.phrase.pitches[1], kRestPitch + c.offset);
    EXPECT_EQ(f.phrase.pitches[2], 72 + c.offset);
    EXPECT_EQ(f.phrase.pitches[3], kPhraseEndPitch);
  }
}

TEST(TransposeToKey, NoKeyLeavesThePitches) {
  PhraseFixture f({"5"});
  f.phrase.keyLetter = kNoKey;
  f.phrase.accidental = 1;
  f.phrase.pitches[0] = 1234;
  TransposeToKey(f.phrase);
  EXPECT_EQ(f.phrase.pitches[0], 1234);
}

TEST(ScoreParseError, KeepsACopyOfItsTextAndCutsOverlongOnes) {
  std::string text = "error tune";
  ScoreParseError error(text.c_str());
  text.assign("overwritten");
  EXPECT_STREQ(error.what(), "error tune");
  const ScoreParseError longError(std::string(500, 'x').c_str());
  EXPECT_EQ(std::string(longError.what()), std::string(ScoreParseError::kMessageCapacity - 1, 'x'));
}

}  // namespace
