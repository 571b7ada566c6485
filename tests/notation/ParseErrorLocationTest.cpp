// Where a parse error points: the phrase at fault and, for a number, the number itself, as
// offsets into the text as typed (comments, CR LF and an opening '|' included). The messages
// stay as they are.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "notation/Score.h"
#include "notation/ScoreParseError.h"

namespace {

struct Fault {
  const char* message;
  std::string phrase;  // the faulty phrase, as it stands between bars
  std::string number;  // the number at fault inside it; "" for a phrase-level fault
};

// Where the faulty phrase goes: first, between others after a comment and a line break,
// last, and after an opening '|' that the parser drops.
struct Place {
  const char* name;
  std::string before;
  std::string after;
};

std::string Voices(int count) {
  std::string text;
  for (int v = 0; v < count; ++v) text += (v ? " &" : "") + std::string("1,1");
  return text;
}

std::string Numbers(int pairs) {
  std::string text;
  for (int i = 0; i < pairs; ++i) text += (i ? "," : "") + std::string("1,1");
  return text;
}

const Fault kFaults[] = {
    {"error timeing001!", "1,1,2,1", "2"},
    {"error timeing002!", "1,3,12,1", "12"},
    {"error tune 1111!", "1,1,1,8", "8"},
    {"error tune", "do=H,1,1,1,2", "do=H"},
    {"error1", "&1,1", ""},
    {"error2", "1,1,1,&1,1", ""},
    {"error3", Voices(49), ""},
    {"error4", "1,1,1", ""},
    {"234", "1,1 &1,1,1,1", ""},
    {"error: more than 10000 numbers in one phrase", Numbers(5001), ""},
};

const Place kPlaces[] = {
    {"start", "", "|1,3"},
    {"middle", "/*第一句 | 注释*/1,1\r\n|1,2\r\n|", "|\r\n1,3"},
    {"end", "1,1|/*c*/\r\n1,2|", ""},
    {"after an opening bar", "|", "|1,5"},
};

struct Located {
  std::string message;
  int32_t phraseOffset = -1, phraseLength = 0, numberOffset = -1, numberLength = 0;
};

Located Parse(const std::string& text) {
  auto score = std::make_unique<Score>();
  Located got;
  try {
    ParseScore(text.data(), static_cast<int32_t>(text.size()), *score);
  } catch (const ScoreParseError& error) {
    got = {error.what(), error.PhraseOffset(), error.PhraseLength(), error.NumberOffset(),
           error.NumberLength()};
  }
  return got;
}

TEST(ParseErrorLocationTest, EachMessagePointsAtItsPhraseAndNumberWhereverItStands) {
  for (const Place& place : kPlaces) {
    for (const Fault& fault : kFaults) {
      SCOPED_TRACE(std::string(place.name) + ": " + fault.message);
      const std::string text = place.before + fault.phrase + place.after;
      const Located got = Parse(text);
      ASSERT_EQ(got.message, fault.message);
      const int32_t phraseAt = static_cast<int32_t>(place.before.size());
      EXPECT_EQ(got.phraseOffset, phraseAt);
      EXPECT_EQ(text.substr(got.phraseOffset, got.phraseLength), fault.phrase);
      if (fault.number.empty()) {
        EXPECT_EQ(got.numberOffset, -1);
      } else {
        const size_t inPhrase = fault.phrase.rfind(fault.number);
        EXPECT_EQ(got.numberOffset, phraseAt + static_cast<int32_t>(inPhrase));
        EXPECT_EQ(text.substr(got.numberOffset, got.numberLength), fault.number);
      }
    }
  }
}

TEST(ParseErrorLocationTest, LimitsOfTheWholeTextPointAtThePhraseBeyondOrNowhere) {
  // The 3001st phrase is the one too many.
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "1,1|";
  const int32_t beyond = static_cast<int32_t>(text.size());
  text += "1,2";
  Located got = Parse(text);
  EXPECT_EQ(got.message, "error: more than 3000 phrases");
  EXPECT_EQ(got.phraseOffset, beyond);
  EXPECT_EQ(got.phraseLength, 3);

  // A text too long to copy has no phrase to point at.
  got = Parse(std::string(50000, ' '));
  EXPECT_EQ(got.message, "error: score text of 50000 characters or more");
  EXPECT_EQ(got.phraseOffset, -1);
  EXPECT_EQ(got.numberOffset, -1);
}

}  // namespace
