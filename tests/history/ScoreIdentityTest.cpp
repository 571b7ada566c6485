// Which score a try belongs to: the same text however its lines end or its spaces run is the
// same score, a changed note is another; a phrase's text as it was typed.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "history/ScoreIdentity.h"
#include "notation/Score.h"

namespace {

TEST(ScoreHashTest, WhiteSpaceAndLineEndsDoNotMakeAnotherScore) {
  const std::string base = history::ScoreHash("do=F s=100,1,1,1,2|\r\n1,3,1,5");
  EXPECT_EQ(base.size(), 16u);
  EXPECT_EQ(base.find_first_not_of("0123456789abcdef"), std::string::npos);
  const char* same[] = {
      "do=F s=100,1,1,1,2|\n1,3,1,5",       // bare LF (written on Linux)
      "do=F s=100,1,1,1,2|\r\r\n1,3,1,5",   // a line break typed into the window
      "  do=F  s=100,1,1,1,2|\n1,3,1,5\n",  // spaces at the ends, a run inside
      "do=F\ts=100,1,1,1,2| 1,3,1,5",
  };
  for (const char* text : same) EXPECT_EQ(history::ScoreHash(text), base) << text;
  const char* other[] = {
      "do=F s=100,1,1,1,2|1,3,1,5",  // the line break between phrases is gone altogether
      "do=F s=100,1,1,1,2|\r\n1,3,1,6",
      "do=G s=100,1,1,1,2|\r\n1,3,1,5",
      "",
  };
  for (const char* text : other) EXPECT_NE(history::ScoreHash(text), base) << text;
}

TEST(ScoreHashTest, CommentsAreNotTheMusic) {
  const std::string music = "do=F s=100,1,1,1,2|\r\n1,3,1,5";
  const std::string base = history::ScoreHash(music);
  EXPECT_EQ(base, history::WholeTextHash(music)) << "a text without comments keeps its hash";
  const char* same[] = {
      "/*标题: 音阶*/do=F s=100,1,1,1,2|\r\n1,3,1,5 /*词: 一二三四*/",
      "/*title: Scale*/do=F s=100,1,1,1,2|\r\n1,3,1,5 /*词: 一二三肆*/",  // a word corrected
      "do=F s=100,1,1,1,2/* breathe */|\r\n1,3,1,5",
  };
  for (const char* text : same) EXPECT_EQ(history::ScoreHash(text), base) << text;
  EXPECT_NE(history::WholeTextHash(same[0]), base);
  // A comment cut from between two numbers leaves them apart.
  EXPECT_EQ(history::ScoreHash("do=F s=100,1,1,1,2|\r\n1,3,1/**/5"),
            history::ScoreHash("do=F s=100,1,1,1,2|\r\n1,3,1 5"));
  EXPECT_NE(history::ScoreHash("do=F s=100,1,1,1,2|\r\n1,3,1,6 /*词: 一二三四*/"), base);
}

TEST(PhraseTextTest, APhraseAsTypedWithItsTempoDigitsAndNoneBeyondTheScore) {
  auto score = std::make_unique<Score>();
  const char text[] = "do=F s=100,1,1,1,2|\r\n1,3,  1,5 /* note */|";
  ParseScore(text, static_cast<int32_t>(std::strlen(text)), *score);
  ASSERT_EQ(score->phraseCount, 2);
  EXPECT_EQ(history::PhraseText(*score, 0), "do=F s=100,1,1,1,2");
  EXPECT_EQ(history::PhraseText(*score, 1), "1,3, 1,5");
  EXPECT_EQ(history::PhraseText(*score, 2), "");
  EXPECT_EQ(history::PhraseText(*score, -1), "");
}

}  // namespace
