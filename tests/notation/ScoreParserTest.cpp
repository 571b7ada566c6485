#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "NotationTestSupport.h"
#include "notation/Score.h"
#include "tests/support/BuiltInScore.h"

using namespace notation_test;

namespace {

using testsupport::kBuiltInScore;

// A Score on the heap; its side texts stay in it.
class ScoreParserTest : public ::testing::Test {
 protected:
  std::string Parse(const std::string& text) { return ParseOutcome(text, *score); }
  std::string SideText1() const { return notation_test::SideText1(score->sideTexts); }

  std::vector<int32_t> NoteCounts() const {
    std::vector<int32_t> counts;
    for (int32_t i = 0; i < score->phraseCount; ++i) counts.push_back(score->phrases[i].noteCount);
    return counts;
  }
  std::vector<int32_t> Tempi() const {
    std::vector<int32_t> tempi;
    for (int32_t i = 0; i < score->phraseCount; ++i) tempi.push_back(score->phrases[i].tempo);
    return tempi;
  }
  std::vector<int32_t> FirstPitches() const {
    std::vector<int32_t> pitches;
    for (int32_t i = 0; i < score->phraseCount; ++i)
      pitches.push_back(score->phrases[i].pitches[0]);
    return pitches;
  }

  std::unique_ptr<Score> score = std::make_unique<Score>();
};

struct StructureCase {
  const char* text;
  std::vector<int32_t> noteCounts;
  const char* side1;
};

TEST_F(ScoreParserTest, TrimmingSplittingAndComments) {
  const std::vector<StructureCase> cases = {
      {"1,1,1,2", {2}, "1,1,1,2"},
      {"|1,1,1,2|", {2}, "1,1,1,2"},
      {"||1,1,1,2", {2}, "1,1,1,2"},       // one '|' kept: an empty first piece, dropped
      {"1,1||1,2", {1, 1}, "1,1|1,2"},     // the empty piece between is dropped
      {"1,1|1,2|\n", {1, 1}, "1,1|1,2|"},  // a trailing line break is a dropped piece
      {"1,1/*|*/,1,2", {2}, "1,1     ,1,2"},
      {"1,1|1,2/*3,1", {1, 1}, "1,1|1,2     "},
      {"/*/1,1", {}, ""},
      {"/* 1 /* 2 */ 1,2 */", {1}, "             1,2 */"},  // comments do not nest
      {"1,1|ab cd|1,2", {1, 1}, "1,1|1,2"},
      {"|", {}, ""},
      {"||", {}, ""},
      {"|||", {}, ""},
  };
  for (const StructureCase& c : cases) {
    ASSERT_EQ(Parse(c.text), "") << c.text;
    EXPECT_EQ(NoteCounts(), c.noteCounts) << c.text;
    EXPECT_EQ(SideText1(), c.side1) << c.text;
  }
}

// The score examples that write "2,1" as a note: a length of "2" holds no "1".
TEST_F(ScoreParserTest, ExamplesWithTwoAsALengthAreRefused) {
  for (const char* text :
       {"|1,1,2,1|", "1,1,2,1", "||1,1,2,1", "1,1||2,1", "1,1/*|*/,2,1", "1,1|2,1/*3,1"}) {
    EXPECT_EQ(Parse(text), "error timeing001!") << text;
  }
}

struct TempoCase {
  const char* text;
  std::vector<int32_t> tempi;
  std::vector<int32_t> noteCounts;
};

TEST_F(ScoreParserTest, TempoMaskingAndInheritance) {
  const std::vector<TempoCase> cases = {
      {"s=120,1,1", {120}, {1}},
      {"s=90,1,1", {90}, {1}},
      {"s=1201,1", {120}, {1}},  // only three digits are masked; the fourth is a note length
      {"1,s=1", {120}, {1}},     // an "s=" in the last five characters stays a number
      {"1,1,1,s=1", {120}, {2}},
      {"1,1,1,2|s=90,1,1,1,2|1,1,1,3", {120, 90, 90}, {2, 2, 2}},
      {"1,1|s=90|1,1", {120, 120}, {1, 1}},  // a dropped phrase passes on no tempo
      {"s=0,1,1|1,1", {120, 120}, {1, 1}},
      {"s=60,1,1|s=999,1,1|1,1|s=7,1,1", {60, 999, 999, 7}, {1, 1, 1, 1}},
  };
  for (const TempoCase& c : cases) {
    ASSERT_EQ(Parse(c.text), "") << c.text;
    EXPECT_EQ(Tempi(), c.tempi) << c.text;
    EXPECT_EQ(NoteCounts(), c.noteCounts) << c.text;
  }
}

// The phrase parser gets the working text with each s= field's digits (and spaces) lowered
// by 20, so that they are not read as notes; the typed copy keeps them for the echo.
TEST_F(ScoreParserTest, TempoDigitsAreLoweredInTheWorkingText) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"s=100,1,1", "s=\x1d\x1c\x1c,1,1"},
      {"s=80,1,1", "s=$\x1c,1,1"},
      {"s= 90,1,1", "s=\x0c%\x1c,1,1"},
      {"s=1201,1",
       "s=\x1d\x1e\x1c"
       "1,1"},                   // three characters at the most
      {"s=9a,1,1", "s=%a,1,1"},  // up to the first that is no digit or space
      {"s=90,1,1|s=60 ,1,1", "s=%\x1c,1,1|s=\"\x1c\x0c,1,1"},
      {"1,1,1,s=1", "1,1,1,s=1"},  // an "s=" in the last five characters is left
      {"1,1,s=100,1,1", "1,1,s=\x1d\x1c\x1c,1,1"},
      {"|s=60,1,1", "s=\"\x1c,1,1"},  // the working text starts after the leading bar
  };
  for (const auto& [typed, working] : cases) {
    ASSERT_EQ(Parse(typed), "") << typed;
    EXPECT_EQ(std::string(score->text, static_cast<size_t>(score->textLength)), working) << typed;
    const std::string trimmed = typed[0] == '|' ? typed.substr(1) : typed;
    EXPECT_EQ(std::string(score->typedCopy), trimmed) << typed;
  }
}

TEST_F(ScoreParserTest, TheCallersTextIsNotWritten) {
  const std::string text = "s=120,1,1|/*x*/1,2";
  const std::string before = text;
  ASSERT_EQ(Parse(text), "");
  EXPECT_EQ(text, before);
  EXPECT_EQ(std::string(score->text, static_cast<size_t>(score->textLength)),
            std::string("s=") + char('1' - 20) + char('2' - 20) + char('0' - 20) + ",1,1|     1,2");
  EXPECT_EQ(score->phrases[1].source, score->text + 10);
}

struct KeyCase {
  const char* text;
  std::vector<int32_t> keys;
  std::vector<int32_t> accidentals;
  std::vector<int32_t> firstPitches;
};

TEST_F(ScoreParserTest, KeysAreInheritedAndTransposed) {
  const std::vector<KeyCase> cases = {
      {"do=F,1,1,1,2|1,1,1,3|do=C,1,1,1,2|1,1,1,3",
       {'F', 'F', 'C', 'C'},
       {0, 0, 0, 0},
       {65, 65, 60, 60}},
      {"1,1,1,2", {'C'}, {0}, {60}},
      {"do=C#,1,1|1,1,1,2", {'C', 'C'}, {1, 1}, {61, 61}},
      {"do=Bb,1,0|do=A ,1,1", {'B', 'A'}, {-1, 0}, {kRestPitch + 10, 69}},
      {"do=G,1,1 |do=E, abc |1,1",
       {'G', 'G'},
       {0, 0},
       {67, 67}},  // a dropped phrase passes on no key
  };
  for (const KeyCase& c : cases) {
    ASSERT_EQ(Parse(c.text), "") << c.text;
    std::vector<int32_t> keys, accidentals;
    for (int32_t i = 0; i < score->phraseCount; ++i) {
      keys.push_back(score->phrases[i].keyLetter);
      accidentals.push_back(score->phrases[i].accidental);
      EXPECT_EQ(score->phrases[i].pitches[score->phrases[i].noteCount], kPhraseEndPitch);
    }
    EXPECT_EQ(keys, c.keys) << c.text;
    EXPECT_EQ(accidentals, c.accidentals) << c.text;
    EXPECT_EQ(FirstPitches(), c.firstPitches) << c.text;
  }
}

TEST_F(ScoreParserTest, BuiltInScore) {
  ASSERT_EQ(sizeof kBuiltInScore - 1, 216u);
  ASSERT_EQ(Parse(kBuiltInScore), "");
  EXPECT_EQ(score->phraseCount, 4);
  EXPECT_EQ(NoteCounts(), (std::vector<int32_t>{8, 5, 9, 13}));
  EXPECT_EQ(Tempi(), (std::vector<int32_t>{100, 100, 100, 100}));
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(score->phrases[i].keyLetter, 'C');
    EXPECT_EQ(score->phrases[i].accidental, 0);
  }
  const Phrase& first = score->phrases[0];
  EXPECT_EQ(std::vector<int32_t>(first.pitches.get(), first.pitches.get() + 9),
            (std::vector<int32_t>{60, 62, 64, 65, 67, 69, 71, 72, kPhraseEndPitch}));
  EXPECT_EQ(first.startTimes[8], 4.5);
  EXPECT_EQ(score->phrases[1].startTimes[5], 3.0);
  EXPECT_EQ(score->phrases[3].startTimes[13], 8.0);
}

TEST_F(ScoreParserTest, EmptyTextTouchesNothing) {
  ASSERT_EQ(Parse("1,1|1,2"), "");
  ASSERT_EQ(Parse(""), "");
  EXPECT_EQ(score->phraseCount, 2);
  EXPECT_EQ(SideText1(), "1,1|1,2");
}

// Takes the side texts as the program's side-file writer does, and can refuse them as a
// folder that cannot be written does.
class RecordingSink : public SideTextSink {
 public:
  void WriteSideFiles(const SideTexts& texts) override {
    ++calls;
    first = SideText1(texts);
    second = SideText2(texts);
    if (refusal != nullptr) throw ScoreParseError(refusal);
  }
  int calls = 0;
  std::string first, second;
  const char* refusal = nullptr;
};

TEST_F(ScoreParserTest, SideTextsGoToTheSinkAfterEverySuccessfulParse) {
  RecordingSink sink;
  score->sideTextSink = &sink;
  ASSERT_EQ(Parse("1,1 &1,3|1,2"), "");
  EXPECT_EQ(sink.calls, 1);
  EXPECT_EQ(sink.first, "1,1 |1,2");
  EXPECT_EQ(sink.second, "1,3|1,2");
  ASSERT_EQ(Parse(""), "");  // nothing to parse: nothing handed on
  EXPECT_EQ(Parse("1,3|1,1,1,9"), "error tune 1111!");
  EXPECT_EQ(sink.calls, 1);
  ASSERT_EQ(Parse("|"), "");  // no phrase, no error: the empty texts are handed on
  EXPECT_EQ(sink.calls, 2);
  EXPECT_EQ(sink.first, "");

  // The sink's message is the parse's; the Score is complete and resolved all the same.
  sink.refusal = "open fail!";
  EXPECT_EQ(Parse("1,1"), "open fail!");
  EXPECT_EQ(score->phraseCount, 1);
  EXPECT_EQ(score->phrases[0].tempo, 120);
  EXPECT_EQ(score->phrases[0].keyLetter, 'C');
}

TEST_F(ScoreParserTest, EmbeddedZeroEndsTheText) {
  const std::string text("1,1|1,2\0|9,9,9", 14);
  ASSERT_EQ(Parse(text), "");
  EXPECT_EQ(score->textLength, 7);
  EXPECT_EQ(NoteCounts(), (std::vector<int32_t>{1, 1}));
}

// A failed parse stops at the faulty phrase; the next parse into the same Score reuses
// its slots soundly (the sanitizer run checks the memory).
TEST_F(ScoreParserTest, FailureInTheMiddleThenReuse) {
  ASSERT_EQ(Parse("1,1,1,2|1,1,1,3,1,4|1,5"), "");
  EXPECT_EQ(Parse("do=D,1,1 |1,1,1,2,1,8|1,1"), "error tune 1111!");
  EXPECT_EQ(score->phraseCount, 1);
  EXPECT_EQ(score->phrases[0].keyLetter, 'D');
  EXPECT_EQ(score->phrases[0].pitches[0], 60);  // not transposed: keys are not resolved
  EXPECT_EQ(score->phrases[1].noteCount, 3);    // the faulty slot owns its new arrays
  ASSERT_EQ(Parse("1,2|1,3"), "");
  EXPECT_EQ(FirstPitches(), (std::vector<int32_t>{62, 64}));
}

TEST_F(ScoreParserTest, TextLimit) {
  std::string text(49996, ' ');
  text += "1,1";  // 49999 characters
  ASSERT_EQ(Parse(text), "");
  EXPECT_EQ(score->textLength, 49999);
  EXPECT_EQ(NoteCounts(), (std::vector<int32_t>{1}));

  const std::string outcome = Parse(text + " ");
  EXPECT_NE(outcome.find("50000"), std::string::npos) << outcome;
  // Trimmed first: 49999 characters and a '|' at each end are taken.
  EXPECT_EQ(Parse("|" + text + "|"), "");
}

TEST_F(ScoreParserTest, PhraseLimit) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "1,1|";
  text += "|ab|";  // pieces that hold nothing need no slot
  ASSERT_EQ(Parse(text), "");
  EXPECT_EQ(score->phraseCount, 3000);

  const std::string outcome = Parse(text + "1,2");
  EXPECT_NE(outcome.find("3000"), std::string::npos) << outcome;
  // A faulty 3001st phrase reports its own fault.
  EXPECT_EQ(Parse(text + "1,8"), "error tune 1111!");
}

TEST_F(ScoreParserTest, SideTextLimit) {
  std::string text;
  while (text.size() < 30000) text += "s=s=";  // each "s=" echoes six bytes
  text += "1,1";
  const std::string outcome = Parse(text);
  EXPECT_NE(outcome.find("60000"), std::string::npos) << outcome;
  EXPECT_LE(score->sideTexts.sideText1Length, kSideTextCapacity);
}

}  // namespace
