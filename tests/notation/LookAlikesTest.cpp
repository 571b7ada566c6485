// Look-alike characters: each warning names what was typed and what was probably meant, and
// the parser reads the text exactly as the warning says (as if the look-alike were not there,
// or as the numbers it turns into); correct text and comments give no warning.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "notation/LookAlikes.h"
#include "notation/Score.h"
#include "notation/ScoreParseError.h"

namespace {

// What the parser made of a text: its message, or every phrase's key, tempo and notes.
std::string Reading(const std::string& text) {
  auto score = std::make_unique<Score>();
  try {
    ParseScore(text.data(), static_cast<int32_t>(text.size()), *score);
  } catch (const ScoreParseError& error) {
    return std::string("error ") + error.what();
  }
  std::ostringstream out;
  for (int32_t p = 0; p < score->phraseCount; ++p) {
    const Phrase& phrase = score->phrases[p];
    out << "| key " << static_cast<char>(phrase.keyLetter) << phrase.accidental << " tempo "
        << phrase.tempo << ":";
    for (int32_t i = 0; i < phrase.noteCount; ++i)
      out << " " << phrase.durations[i] << "@" << phrase.startTimes[i] << "=" << phrase.pitches[i];
  }
  return out.str();
}

struct Case {
  const char* name;
  std::string text;
  std::vector<std::pair<std::string, std::string>> warnings;  // what was typed, what was meant
  std::string readAs;  // a text the parser reads exactly as it reads `text`
};

const Case kCases[] = {
    {"FullWidthEqualsInKey", "do＝F#,1,1,1,2", {{"do＝F#", "do=F#"}}, "1,1,1,2"},
    {"CapitalDo", "Do=G,1,1,1,2", {{"Do=G", "do=G"}}, "1,1,1,2"},
    {"ColonInKey", "do：Bb, 1,1,1,2", {{"do：Bb", "do=Bb"}}, "1,1,1,2"},
    {"SpacedKey", "do = E,1,1,1,2", {{"do = E", "do=E"}}, "1,1,1,2"},
    {"FullWidthKey", "ｄｏ＝Ｇ,1,1,1,2", {{"ｄｏ＝Ｇ", "do=G"}}, "1,1,1,2"},
    {"FullWidthSharpInKey", "do=F＃,1,1,1,2", {{"＃", "do=F#"}}, "do=F,1,1,1,2"},
    {"MusicFlatInKey", "do=B♭,1,1,1,2", {{"♭", "do=Bb"}}, "do=B,1,1,1,2"},
    {"JianpuKey", "1=F 1,1,1,2,1", {{"1=F", "do=F"}}, "1 1,1,1,2,1"},
    {"FullWidthBar", "1,1,1,2｜1,3,1,4", {{"｜", "|"}}, "1,1,1,2 1,3,1,4"},
    {"FullWidthAmpersand", "1,1,1,2 ＆1,5,1,5", {{"＆", "&"}}, "1,1,1,2 1,5,1,5"},
    {"CapitalTempoReadsItsDigitsAsANumber", "S=100,1,1,1", {{"S=100", "s=100,"}}, "100,1,1,1"},
    {"ChineseColonAndCommaInTempo", "s：100，1,1,1", {{"s：100", "s=100,"}}, "100,1,1,1"},
    {"FullWidthTempo", "s＝１００,1,1,1,2", {{"s＝１００", "s=100,"}}, "1,1,1,2"},
    {"FullWidthTempoDigits", "s=１２０,1,1,1,2", {{"s=１２０", "s=120,"}}, "1,1,1,2"},
    {"SpaceAfterTempo", "s= 90,1,1,1,2", {{"s= 90", "s=90,"}}, "1,1,1,2"},
    {"NoteSignTempo", "♩=90 1,1,1", {{"♩=90", "s=90,"}}, "90 1,1,1"},
    {"SharpBeforeDegrees",
     "1,#4,1,#3,1,#7,1,＃40,1,♯0.2",
     {{"#4", "4.5"}, {"#3", "4"}, {"#7", "10"}, {"＃40", "45"}, {"♯0.2", "0.25"}},
     "1,4,1,3,1,7,1,40,1,0.2"},
    {"FlatBeforeDegrees",
     "1,b7,1,b1,1,b4,1,♭30",
     {{"b7", "6.5"}, {"b1", "0.7"}, {"b4", "3"}, {"♭30", "25"}},
     "1,7,1,1,1,4,1,30"},
    {"MinusBeforeNumbers",
     "1,-1,1,-0.5,-1,1",
     {{"-1", "0.1"}, {"-0.5", "0.05"}, {"-1", "0.1"}},
     "1,1,1,0.5,1,1"},
    {"FullWidthDigits", "1,1 １０,２", {{"１０", "10"}, {"２", "2"}}, "1,1"},
    {"FullStopAsPoint", "1,1,0。1", {{"。", "0.1"}}, "1,1,0 1"},
    // Read as meant: no warning.
    {"CorrectFields", "do=Bb,s=100,1,1,0.1,4.5,0.1,1 &1,5,1,3|do=C#,1,1", {}, ""},
    {"FullWidthCommaSeparatesLikeAComma", "1，1，1，2", {}, "1,1,1,2"},
    {"MinusBetweenNumbersSeparates", "1,5-1,3", {}, "1,5,1,3"},
    {"WordsAroundLetters", "bass Chorus: 1,1,1,2", {}, "1,1,1,2"},
    {"InsideComments", "/*do＝F ｜ #4 -1 s：90 １*/1,1,1,2", {}, "1,1,1,2"},
};

class LookAlikesTest : public ::testing::TestWithParam<Case> {};

TEST_P(LookAlikesTest, WarnsWhereTheParserIgnoresOrMisreadsAndReadsTheTextAsItSays) {
  const Case& c = GetParam();
  const std::string before = Reading(c.text);
  const std::vector<LookAlikeWarning> warnings = FindLookAlikes(c.text);
  ASSERT_EQ(warnings.size(), c.warnings.size());
  for (size_t i = 0; i < warnings.size(); ++i) {
    SCOPED_TRACE(c.warnings[i].first);
    EXPECT_EQ(c.text.substr(warnings[i].offset, warnings[i].length), c.warnings[i].first);
    EXPECT_EQ(warnings[i].suggestion, c.warnings[i].second);
    EXPECT_FALSE(warnings[i].message.empty());
  }
  // The scan leaves the parser's reading alone, and that reading is the one warned about.
  EXPECT_EQ(Reading(c.text), before);
  if (!c.readAs.empty()) {
    EXPECT_EQ(before, Reading(c.readAs));
  }
}

INSTANTIATE_TEST_SUITE_P(Characters, LookAlikesTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return info.param.name;
                         });

TEST(LookAlikesTest, MessagesSayHowTheParserReadsIt) {
  const auto first = [](const std::string& text) { return FindLookAlikes(text).at(0).message; };
  EXPECT_NE(first("1,#4").find("#4 按 4 读"), std::string::npos) << first("1,#4");
  EXPECT_NE(first("S=100,1,1,1").find("100 被当作一个数字读入"), std::string::npos);
  EXPECT_NE(first("s= 90,1,1").find("不能有空格"), std::string::npos);
  EXPECT_NE(first("1,1｜1,2").find("连成了一句"), std::string::npos);
}

TEST(LookAlikesTest, OffsetsAreBytesOfTheTextAsGivenAfterCommentsAndLines) {
  const std::string text = "|/*第一句*/1,1\r\n|do＝F,1,1,1,2";
  const std::vector<LookAlikeWarning> warnings = FindLookAlikes(text);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].offset, static_cast<int32_t>(text.find("do")));
  EXPECT_EQ(warnings[0].length, 6);  // "do", three bytes of "＝", "F"
}

}  // namespace
