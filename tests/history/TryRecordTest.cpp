// A judged take as the history keeps it: the try record every sing-back (the window, `listen`,
// `score --record`) fills the same way, and a take too quiet to judge is no try at all.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "history/PracticeHistory.h"
#include "history/ScoreIdentity.h"
#include "notation/Score.h"

namespace {

const char kScoreText[] = "s=100,1,1,1,2|1,3,1,5";

// A take of two notes, the first hit and the second missed 80 cents sharp, at `verdict`.
listening::TakeJudgement Judged(listening::LevelVerdict verdict) {
  listening::TakeJudgement judgement;
  judgement.level.verdict = verdict;
  judgement.hitCents = 25.0;
  judgement.nothingHeard = false;
  judgement.hits = 1;
  judgement.notes.resize(2);
  judgement.notes[0].verdict = listening::Verdict::kHit;
  judgement.notes[1].verdict = listening::Verdict::kMissed;
  judgement.notes[1].cents = 80.0;
  return judgement;
}

class TryRecordTest : public ::testing::Test {
 protected:
  void SetUp() override { ParseScore(kScoreText, sizeof kScoreText - 1, *score); }
  std::unique_ptr<Score> score = std::make_unique<Score>();
};

TEST_F(TryRecordTest, AJudgedTakeIsFilledFromTheScoreTheVerdictsAndHowItWasSung) {
  history::TakeContext context;
  context.scoreText = kScoreText;
  context.scoreFile = "/home/learner/song.txt";
  context.transpose = -2;
  context.takeMs = 2700;
  context.range = VoiceRange{55, 74};
  context.source = "listen";
  const std::optional<history::TryRecord> record =
      history::TryRecordOf(*score, 1, Judged(listening::LevelVerdict::kGood), context);
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->phrase, 1);
  EXPECT_EQ(record->phraseText, history::PhraseText(*score, 1));
  EXPECT_EQ(record->scoreHash, history::ScoreHash(kScoreText));
  EXPECT_EQ(record->scoreFile, "/home/learner/song.txt");
  EXPECT_EQ(record->transpose, -2);
  EXPECT_EQ(record->takeMs, 2700);
  EXPECT_EQ(record->rangeLow, std::optional<int32_t>(55));
  EXPECT_EQ(record->rangeHigh, std::optional<int32_t>(74));
  EXPECT_EQ(record->toleranceCents, 25.0) << "the tolerance the take was judged with";
  EXPECT_EQ(record->source, "listen");
  EXPECT_FALSE(record->passed) << "1 of 2 is below the pass line";
  ASSERT_EQ(record->judgement.notes.size(), 2u);
  EXPECT_EQ(record->judgement.notes[1].cents, 80.0);

  // Without a range, none is kept.
  context.range.reset();
  const std::optional<history::TryRecord> unranged =
      history::TryRecordOf(*score, 0, Judged(listening::LevelVerdict::kGood), context);
  ASSERT_TRUE(unranged.has_value());
  EXPECT_EQ(unranged->rangeLow, std::nullopt);
  EXPECT_EQ(unranged->rangeHigh, std::nullopt);
}

// A take too quiet to judge, digital silence among them, is left out: an overloaded take, or
// one judged without levels, is still the learner's try.
TEST_F(TryRecordTest, ATakeTooQuietToJudgeOrSilentGivesNoRecord) {
  const struct {
    listening::LevelVerdict verdict;
    bool kept;
  } cases[] = {
      {listening::LevelVerdict::kTooQuiet, false},  {listening::LevelVerdict::kGood, true},
      {listening::LevelVerdict::kOverloaded, true}, {listening::LevelVerdict::kSilent, false},
      {listening::LevelVerdict::kUnmeasured, true},
  };
  history::TakeContext context;
  context.scoreText = kScoreText;
  context.source = "window";
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.verdict));
    EXPECT_EQ(history::TryRecordOf(*score, 0, Judged(c.verdict), context).has_value(), c.kept);
  }
}

}  // namespace
