#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "NotationTestSupport.h"
#include "notation/Phrase.h"

using notation_test::OutcomeOf;

namespace {

// One slot and the text it points into; the side texts start empty. Texts are written as the
// score parser hands them over, the digits of each s= field lowered by 20: "s=100" comes as
// "s=\x1d\x1c\x1c" ('1' - 20 is 0x1d, '0' - 20 is 0x1c, '8' - 20 is '$', '9' - 20 is '%',
// '6' - 20 is '"', a space - 20 is 0x0c).
class PhraseParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetPhrase(slot);
    sides.sideText1Length = 0;
    sides.sideText2Length = 0;
  }
  void TearDown() override { ReleasePhrase(slot); }

  std::string Parse(const std::string& handedOver) {
    text = handedOver;
    return OutcomeOf(
        [&] { ParsePhrase(slot, text.c_str(), static_cast<int32_t>(text.size()), work); });
  }
  std::string SideText1() const { return notation_test::SideText1(sides); }
  std::string SideText2() const { return notation_test::SideText2(sides); }

  std::vector<double> StartTimes() const {
    return std::vector<double>(slot.startTimes.get(), slot.startTimes.get() + slot.noteCount + 1);
  }
  std::vector<int32_t> Pitches() const {
    return std::vector<int32_t>(slot.pitches.get(), slot.pitches.get() + slot.noteCount + 1);
  }
  std::vector<double> Durations() const {
    return std::vector<double>(slot.durations.get(), slot.durations.get() + slot.noteCount);
  }

  Phrase slot;
  std::string text;
  // What the phrase parser works in: the side texts and the token list.
  std::unique_ptr<SideTexts> sideTexts = std::make_unique<SideTexts>();
  SideTexts& sides = *sideTexts;
  std::vector<TokenSpan> tokens = std::vector<TokenSpan>(kMaxPhraseTokens);
  PhraseWork work{sides, tokens.data()};
};

struct OutcomeCase {
  const char* text;
  const char* outcome;  // "" success, "<empty>" EmptyPhrase, else the message
};

TEST_F(PhraseParserTest, OutcomesOfTheEdgeCases) {
  const std::string voices47 = [] {
    std::string s;
    for (int i = 0; i < 47; ++i) s += "1,1 &";
    return s + "1,1";
  }();
  const std::string voices48 = voices47 + " &1,1";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"1,1", ""},
      {"1 1", ""},
      {"1a1", ""},
      {"ab", "<empty>"},
      {"abc", "<empty>"},
      {"s=\x1d\x1c\x1c,", "<empty>"},
      {"1,1,1", "error4"},
      {"&1,1", "error1"},
      {"1,1&1,1", "error2"},
      {"1,1.&1,1", "error2"},
      {"1,1 &1,1", ""},
      {"1,1 &0.1,1", "234"},
      {"1,1 &", "234"},
      {"1,1 && 1,1", "234"},
      {"do=H,1,1,1", "error tune"},
      {"do=f,1,1,1", "error tune"},
      {"s=\x1d\x1c\x1c"
       "0,1,1",
       "error4"},
      {"1,1,1,8", "error tune 1111!"},
      {"2,1", "error timeing001!"},
      {"1,8 &2,1", "error tune 1111!"},  // notes in voice order, length before pitch
      {"2,8", "error timeing001!"},
      {voices47, ""},
      {voices48, "error3"},
  };
  for (const auto& c : cases) {
    SetUp();
    EXPECT_EQ(Parse(c.first), c.second) << c.first.substr(0, 40);
  }
  EXPECT_EQ(Parse(voices47), "");
  EXPECT_EQ(slot.noteCount, 48);
}

TEST_F(PhraseParserTest, SingleNoteFillsEveryField) {
  ASSERT_EQ(Parse("1,1"), "");
  EXPECT_EQ(slot.tokenCount, 2);
  EXPECT_EQ(slot.noteCount, 1);
  EXPECT_EQ(Durations(), (std::vector<double>{1}));
  EXPECT_EQ(Pitches(), (std::vector<int32_t>{60, kPhraseEndPitch}));
  EXPECT_EQ(StartTimes(), (std::vector<double>{0, 1}));
  EXPECT_EQ(slot.keyLetter, kNoKey);
  EXPECT_EQ(slot.accidental, 0);
  EXPECT_EQ(slot.tempo, 0);
  EXPECT_EQ(slot.lastDuration, 1.0);
  EXPECT_EQ(slot.source, text.c_str());
  EXPECT_EQ(slot.sourceLength, 3);
  EXPECT_EQ(slot.tokens[1].start, text.c_str() + 2);
  EXPECT_EQ(slot.tokens[1].length, 1);
}

struct TimingCase {
  const char* text;
  std::vector<double> startTimes;
  std::vector<int32_t> pitches;
  double lastDuration;
};

TEST_F(PhraseParserTest, VoicesAndChordsStartTogether) {
  const std::vector<TimingCase> cases = {
      {"1,1 &1,1", {0, 0, 1}, {60, 60, kPhraseEndPitch}, 1},
      {"0.1,1,0.1,2 &1,5", {0, 0.5, 0, 1}, {60, 62, 67, kPhraseEndPitch}, 1},
      {"0,1,0,3,1,5", {0, 0, 0, 1}, {60, 64, 67, kPhraseEndPitch}, 1},
      {"10,1 &1,3,1,0", {0, 0, 1, 2}, {60, 64, kRestPitch, kPhraseEndPitch}, 1},
      {"0,1 &", {0, 0}, {60, kPhraseEndPitch}, 0},  // both voices of length 0
  };
  for (const TimingCase& c : cases) {
    SetUp();
    ASSERT_EQ(Parse(c.text), "") << c.text;
    EXPECT_EQ(StartTimes(), c.startTimes) << c.text;
    EXPECT_EQ(Pitches(), c.pitches) << c.text;
    EXPECT_EQ(slot.lastDuration, c.lastDuration) << c.text;
  }
}

struct HeaderCase {
  const char* text;
  int32_t keyLetter;
  int32_t accidental;
  int32_t tempo;
};

TEST_F(PhraseParserTest, KeyAndTempoFields) {
  const std::vector<HeaderCase> cases = {
      {"do=F,1,1", kNoKey, 0, 0},  // 8 characters: not searched
      {"do=F,1,1 ", 'F', 0, 0},
      {"do=Bb,1,1", 'B', -1, 0},
      {"do=C#,1,1", 'C', 1, 0},
      {"1,1 do=G,do=Db ", 'D', -1, 0},  // the last key field wins
      {"s=$\x1c,1,1", kNoKey, 0, 80},
      {"s=\x1d\x1c\x1c,1,1", kNoKey, 0, 100},
      {"s=\x0c%\x1c,1,1", kNoKey, 0, 0},
      {"s=%\x1c,1,1,s=\"\x1c\x0c,1,1", kNoKey, 0, 60},  // the last tempo field wins
      {"do=E,s=\x1d\x1e\x1c,1,1 &1,5", 'E', 0, 120},
  };
  for (const HeaderCase& c : cases) {
    SetUp();
    ASSERT_EQ(Parse(c.text), "") << c.text;
    EXPECT_EQ(slot.keyLetter, c.keyLetter) << c.text;
    EXPECT_EQ(slot.accidental, c.accidental) << c.text;
    EXPECT_EQ(slot.tempo, c.tempo) << c.text;
    EXPECT_EQ(slot.pitches[0], 60) << c.text;  // untransposed until the score resolves keys
  }
}

struct EchoCase {
  const char* text;
  const char* side1;
  const char* side2;
};

TEST_F(PhraseParserTest, SideTextEchoes) {
  const std::vector<EchoCase> cases = {
      {"do=F,s=\x1d\x1e\x1c,1,1 &1,5", "do=F,s=120,,1,1 ", "do=F,s=120,1,5"},
      {"s=$\x1c,1,1", "s=80,,1,1", "s=80,,1,1"},
      {"s=\x1d\x1c\x1c,1,1", "s=100,,1,1", "s=100,,1,1"},
      {"s=\x0c%\x1c,1,1", "s= 90,,1,1", "s= 90,,1,1"},
      {"1,1 &1,1 &1,1", "1,1 ", "1,1 &1,1"},
      {"do=C#,1,1", "do=C#,,1,1", "do=C#,,1,1"},
      // A key field after the first "&" puts the header end behind it: nothing of the
      // first voice is copied, and never a negative length.
      {"1,1 &do=F,1,1", "do=F,", "do=F,do=F,1,1"},
      // Unlowered "s=1" at the very end: the echo stops at the text's terminating zero and
      // the header end lies past the phrase, so no body is copied.
      {"1,1,1,s=1", "s=1,", "s=1,"},
  };
  for (const EchoCase& c : cases) {
    SetUp();
    ASSERT_EQ(Parse(c.text), "") << c.text;
    EXPECT_EQ(SideText1(), c.side1) << c.text;
    EXPECT_EQ(SideText2(), c.side2) << c.text;
  }
}

TEST_F(PhraseParserTest, HeaderEchoesStayWhenThePhraseIsDropped) {
  EXPECT_EQ(Parse("s=\x1d\x1c\x1c,"), "<empty>");
  EXPECT_EQ(SideText1(), "s=100,");
  EXPECT_EQ(SideText2(), "s=100,");
}

TEST_F(PhraseParserTest, TokenLimit) {
  std::string tokens10000;
  for (int i = 0; i < 5000; ++i) tokens10000 += "1,1,";
  EXPECT_EQ(Parse(tokens10000), "");
  EXPECT_EQ(slot.tokenCount, 10000);
  EXPECT_EQ(slot.noteCount, 5000);
  EXPECT_EQ(slot.startTimes[5000], 5000.0);

  const std::string outcome = Parse(tokens10000 + "1,1");
  EXPECT_NE(outcome.find("10000"), std::string::npos) << outcome;
}

TEST_F(PhraseParserTest, SideTextCapacityIsNeverPassed) {
  sides.sideText1Length = kSideTextCapacity - 3;
  sides.sideText2Length = kSideTextCapacity - 3;
  const std::string outcome = Parse("1,1,1,2");
  EXPECT_NE(outcome.find("60000"), std::string::npos) << outcome;
  EXPECT_LE(sides.sideText1Length, kSideTextCapacity);
  EXPECT_LE(sides.sideText2Length, kSideTextCapacity);
}

// A failed parse leaves every array pointer null or owning its array, so the slot can be
// parsed again and released (the sanitizer run checks the memory).
TEST_F(PhraseParserTest, FailedParsesLeaveTheSlotSound) {
  ASSERT_EQ(Parse("1,1,1,2,1,3"), "");
  EXPECT_EQ(Parse("1,1,1,2,1,9"), "error tune 1111!");  // fails after the arrays are replaced
  EXPECT_EQ(slot.noteCount, 3);
  ASSERT_NE(slot.pitches, nullptr);
  EXPECT_EQ(slot.pitches[1], 62);
  EXPECT_EQ(Parse("1,1 &0.1,1"), "234");
  EXPECT_EQ(Parse("&1,1"), "error1");  // fails before: the earlier arrays stay owned
  EXPECT_EQ(slot.noteCount, 2);
  ASSERT_EQ(Parse("1,5"), "");
  EXPECT_EQ(Pitches(), (std::vector<int32_t>{67, kPhraseEndPitch}));
}

TEST(PhraseRecord, ResetAndRelease) {
  Phrase phrase;
  phrase.tokens = std::make_unique<TokenSpan[]>(2);
  phrase.pitches = std::make_unique<int32_t[]>(2);
  phrase.noteCount = 1;
  phrase.tempo = 90;
  ReleasePhrase(phrase);
  EXPECT_EQ(phrase.tokens, nullptr);
  EXPECT_EQ(phrase.pitches, nullptr);
  ReleasePhrase(phrase);  // a second release finds nothing to free
  ResetPhrase(phrase);
  EXPECT_EQ(phrase.noteCount, 0);
  EXPECT_EQ(phrase.tempo, 0);
  EXPECT_EQ(phrase.source, nullptr);
}

}  // namespace
