// Parses into different Scores at the same time give what each gives alone: the parser
// keeps nothing of its own between calls. Run under ThreadSanitizer by the test command.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "NotationTestSupport.h"
#include "notation/Score.h"
#include "tests/support/BuiltInScore.h"

namespace {

using notation_test::ParseOutcome;

// Everything a parse gives: its message, the phrases with their notes, and the side texts.
std::string ParseResult(const std::string& text, Score& score) {
  std::ostringstream out;
  out << ParseOutcome(text, score) << "\n" << score.phraseCount << "\n";
  for (int32_t i = 0; i < score.phraseCount; ++i) {
    const Phrase& phrase = score.phrases[i];
    out << phrase.tempo << " " << phrase.keyLetter << phrase.accidental << ":";
    for (int32_t j = 0; j <= phrase.noteCount; ++j)
      out << " " << phrase.pitches[j] << "@" << phrase.startTimes[j];
    out << "\n";
  }
  out << notation_test::SideText1(score.sideTexts) << "\n"
      << notation_test::SideText2(score.sideTexts);
  return out.str();
}

TEST(ParseConcurrency, TwoThreadsGetWhatEachGetsAlone) {
  // Typed tempo fields (echoed as typed), voices, keys, comments, and a failing text.
  const std::vector<std::string> first = {
      testsupport::kBuiltInScore,
      "do=F,s=9!,1,1 &1,5|/* x */s= 90,0.1,1,0.1,2 &1,3|1,1,1,s=1",
  };
  const std::vector<std::string> second = {
      "s=120,1,1,1,2,1,3|do=Bb,0,1,0,3,1,5|1,1 &1,3 &1,5",
      "1,1|2,1",
  };
  auto expected = [](const std::vector<std::string>& texts) {
    auto score = std::make_unique<Score>();
    std::vector<std::string> results;
    for (const std::string& text : texts) results.push_back(ParseResult(text, *score));
    return results;
  };
  const std::vector<std::string> alone1 = expected(first);
  const std::vector<std::string> alone2 = expected(second);
  ASSERT_NE(alone2[1].find("error timeing001!"), std::string::npos);

  std::atomic<int> differences{0};
  auto parseMany = [&differences](const std::vector<std::string>& texts,
                                  const std::vector<std::string>& results) {
    auto score = std::make_unique<Score>();
    for (int round = 0; round < 200; ++round) {
      const size_t k = static_cast<size_t>(round) % texts.size();
      if (ParseResult(texts[k], *score) != results[k]) ++differences;
    }
  };
  std::thread one(parseMany, std::cref(first), std::cref(alone1));
  std::thread two(parseMany, std::cref(second), std::cref(alone2));
  one.join();
  two.join();
  EXPECT_EQ(differences.load(), 0);
}

}  // namespace
