// Every message the parser raises, raised by a real text, has a hint that shows the right way
// to write it; a message the parser does not raise has none.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "notation/ParseErrorHints.h"
#include "notation/Phrase.h"
#include "notation/Score.h"
#include "notation/ScoreParseError.h"

namespace {

// Refuses the side texts as a folder that cannot be written does.
struct RefusingSink : SideTextSink {
  const char* refusal = "";
  void WriteSideFiles(const SideTexts&) override { throw ScoreParseError(refusal); }
};

// The message ParseScore raises for `text`, with the side files refused as `refusal` says.
std::string Raised(const std::string& text, const char* refusal = nullptr) {
  auto score = std::make_unique<Score>();
  RefusingSink sink;
  if (refusal != nullptr) {
    sink.refusal = refusal;
    score->sideTextSink = &sink;
  }
  try {
    ParseScore(text.data(), static_cast<int32_t>(text.size()), *score);
  } catch (const ScoreParseError& error) {
    EXPECT_STREQ(ParseErrorHint(error), ParseErrorHint(error.what()));
    return error.what();
  }
  return "";
}

// A tempo field whose digits run past the phrase's end: only a phrase handed over on its own,
// its lowered digits running on past it, meets it.
std::string TempoPastTheEnd() {
  auto sides = std::make_unique<SideTexts>();
  std::vector<TokenSpan> tokens(kMaxPhraseTokens);
  PhraseWork work{*sides, tokens.data()};
  const char lowered = static_cast<char>('1' - 20);
  const std::string text = std::string("1,1,s=") + lowered + lowered;
  Phrase slot;
  try {
    ParsePhrase(slot, text.c_str(), 7, work);
  } catch (const ScoreParseError& error) {
    return error.what();
  }
  return "";
}

std::string Repeated(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

struct HintCase {
  const char* message;
  std::function<std::string()> raise;
  std::vector<const char*> says;  // the right forms the hint must show
};

const std::vector<HintCase>& Cases() {
  static const std::vector<HintCase> cases = {
      {"error timing003!", [] { return Raised("13,1"); }, {"0.3", "1/3"}},
      {"error timeing001!",
       [] { return Raised("2,1"); },
       {"10 是两拍", "1.1 是一拍半", "先写时值"}},
      {"error timeing002!", [] { return Raised("1.5,1"); }, {"附点一拍写作 1.1，不是 1.5", "10"}},
      {"error timing 004", [] { return Raised("0.0000001,1"); }, {"六位", "十位", "七位"}},
      {"error tune 1111!", [] { return Raised("1,8"); }, {"1 到 7", "10 到 70", "4.5"}},
      {"error tune", [] { return Raised("do=f,1,1,1,2"); }, {"do=F", "do=Bb"}},
      {"error!!!", TempoPastTheEnd, {"s=100,"}},
      {"error1", [] { return Raised("&1,1"); }, {"&"}},
      {"error2", [] { return Raised("1,1&1,1"); }, {"1,1 &1,5"}},
      {"error3", [] { return Raised(Repeated("1,1 &", 48) + "1,1"); }, {"48"}},
      {"error4", [] { return Raised("1,1,1"); }, {"偶数", "三位"}},
      {"234", [] { return Raised("1,1 &10,1"); }, {"总拍数"}},
      {"error: more than 10000 numbers in one phrase",
       [] { return Raised(Repeated("1,1,", 5001)); },
       {"10000", "|"}},
      {"error: more than 3000 phrases", [] { return Raised(Repeated("1,1|", 3001)); }, {"3000"}},
      {"error: score text of 50000 characters or more",
       [] { return Raised(std::string(50000, ' ')); },
       {"50000"}},
      {"error: side text over 60000 bytes",
       [] { return Raised(Repeated("do=C", 12001) + " 1,1"); },
       {"60000"}},
      {"open fail!", [] { return Raised("1,1", "open fail!"); }, {"f1.txt", "没有错"}},
      {"open fail 2!", [] { return Raised("1,1", "open fail 2!"); }, {"f2.txt", "没有错"}},
  };
  return cases;
}

TEST(ParseErrorHintsTest, EveryMessageTheParserRaisesHasAHintShowingTheRightForm) {
  for (const HintCase& c : Cases()) {
    SCOPED_TRACE(c.message);
    ASSERT_EQ(c.raise(), c.message);
    const std::string hint = ParseErrorHint(c.message);
    for (const char* words : c.says) EXPECT_NE(hint.find(words), std::string::npos) << hint;
  }
}

TEST(ParseErrorHintsTest, OtherMessagesHaveNone) {
  EXPECT_STREQ(ParseErrorHint("error tune 1111"), "");  // near a real message is not one
  EXPECT_STREQ(ParseErrorHint("The score text is too long"), "");
  EXPECT_STREQ(ParseErrorHint(static_cast<const char*>(nullptr)), "");
}

}  // namespace
