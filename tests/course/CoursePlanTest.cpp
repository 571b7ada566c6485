#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "course/CoursePlan.h"

namespace course {
namespace {

constexpr int64_t kDay = 20000;  // some day in 2024

CourseTry Sung(int32_t phrase, int64_t day, bool passed, int32_t tempo = 100) {
  return {phrase, phrase, day, tempo, true, passed};
}
CourseTry Together(int32_t first, int32_t last, int64_t day, bool passed) {
  return {first, last, day, 100, true, passed};
}

// A plan as one line: each phrase's state (n, l, k) and next review (days from kDay), then
// each step as kind, phrases from 1 and tempo.
std::string Describe(const CoursePlan& plan) {
  std::string out;
  for (const PhraseStanding& standing : plan.phrases) {
    out += PhraseStateName(standing.state)[0];
    if (standing.nextReview) out += "+" + std::to_string(*standing.nextReview - kDay);
    out += ' ';
  }
  out += '|';
  for (const CourseStep& step : plan.steps) {
    out += std::string(" ") + StepKindName(step.kind);
    for (int32_t phrase : step.phrases) out += std::to_string(phrase + 1);
    if (step.tempoPercent != 100) out += "@" + std::to_string(step.tempoPercent);
  }
  return out;
}

struct PlanCase {
  const char* name;
  int32_t phrases;
  std::vector<CourseTry> tries;
  int64_t today;
  std::string plan;
};

// The case's name, not its bytes, in the test's name and messages.
void PrintTo(const PlanCase& c, std::ostream* out) { *out << c.name; }

class CoursePlanTable : public testing::TestWithParam<PlanCase> {};

TEST_P(CoursePlanTable, HistoryInStatesAndStepsOut) {
  const PlanCase& c = GetParam();
  EXPECT_EQ(Describe(PlanDay(c.phrases, c.tries, c.today)), c.plan);
}

INSTANTIATE_TEST_SUITE_P(
    Histories, CoursePlanTable,
    testing::Values(
        PlanCase{"EmptyHistoryStartsWithTheFirstFewPhrases",
                 5,
                 {},
                 kDay,
                 "n n n n n | learn1 learn2 learn3"},
        PlanCase{"TwoPassesMakeAPhraseKnownAndDueTomorrow",
                 3,
                 {Sung(0, kDay, false), Sung(0, kDay, true), Sung(0, kDay, true)},
                 kDay,
                 "k+1 n n | learn2 learn3"},
        PlanCase{"PassesBelowFullTempoOrTooLenientDoNotCount",
                 2,
                 {Sung(0, kDay, true, 80), Sung(0, kDay, true, 90), {0, 0, kDay, 100, false, true}},
                 kDay,
                 "l n | learn1 learn2"},
        PlanCase{"TwoFailuresAtATempoSlowTheTeaching",
                 2,
                 {Sung(0, kDay, false), Sung(0, kDay, false), Sung(0, kDay, false, 80),
                  Sung(0, kDay, false, 80)},
                 kDay,
                 "l n | learn1@70 learn2"},
        PlanCase{"PassingSlowlySpeedsItUpAgain",
                 1,
                 {Sung(0, kDay, false), Sung(0, kDay, false), Sung(0, kDay, true, 80)},
                 kDay,
                 "l | learn1@90"},
        PlanCase{
            "KnownNeighboursAreChainedUntilTheyPassTogether",
            3,
            {Sung(0, kDay, true), Sung(0, kDay, true), Sung(1, kDay, true), Sung(1, kDay, true)},
            kDay,
            "k+1 k+1 n | chain12 learn3"},
        PlanCase{
            "AllKnownAndChainedSingsTheWholeSong",
            3,
            {Sung(0, kDay, true), Sung(0, kDay, true), Sung(1, kDay, true), Sung(1, kDay, true),
             Sung(2, kDay, true), Sung(2, kDay, true), Together(0, 1, kDay, true),
             Together(1, 2, kDay, false), Together(1, 2, kDay, true)},
            kDay,
            "k+1 k+1 k+1 | whole123"},
        PlanCase{
            "TwoKnownPhrasesAreChainedWhichIsTheWholeSong",
            2,
            {Sung(0, kDay, true), Sung(0, kDay, true), Sung(1, kDay, true), Sung(1, kDay, true)},
            kDay,
            "k+1 k+1 | chain12"},
        PlanCase{"TheWholeSongPassedLeavesOnlyReviews",
                 2,
                 {Sung(0, kDay, true), Sung(0, kDay, true), Sung(1, kDay, true),
                  Sung(1, kDay, true), Together(0, 1, kDay, true)},
                 kDay + 1,
                 "k+1 k+1 | review1 review2"},
        PlanCase{"AFailedReviewSendsThePhraseBackToLearning",
                 2,
                 {Sung(0, kDay, true), Sung(0, kDay, true), Sung(0, kDay + 1, false)},
                 kDay + 1,
                 "l n | learn1 learn2"},
        PlanCase{"ReviewsPassedGrowTheInterval",
                 1,
                 {Sung(0, kDay, true), Sung(0, kDay, true), Sung(0, kDay + 1, true),
                  Sung(0, kDay + 4, true), Sung(0, kDay + 11, true)},
                 kDay + 12,
                 "k+27 |"},
        PlanCase{"APassBeforeItIsDueChangesNothing",
                 1,
                 {Sung(0, kDay, true), Sung(0, kDay, true), Sung(0, kDay + 1, true),
                  Sung(0, kDay + 2, true)},
                 kDay + 2,
                 "k+4 |"},
        PlanCase{
            "NewPhrasesBegunTodayCountAgainstTheDay",
            6,
            {Sung(0, kDay, true), Sung(0, kDay, true), Sung(1, kDay, false), Sung(2, kDay, false)},
            kDay,
            "k+1 l l n n n | learn2 learn3"},
        PlanCase{
            "TomorrowBringsNewOnes",
            6,
            {Sung(0, kDay, true), Sung(0, kDay, true), Sung(1, kDay, false), Sung(2, kDay, false)},
            kDay + 1,
            "k+1 l l n n n | review1 learn2 learn3 learn4 learn5 learn6"}),
    [](const testing::TestParamInfo<PlanCase>& info) { return info.param.name; });

TEST(CoursePlan, ManyPhrasesDueOnOneDayAreCappedOldestFirst) {
  std::vector<CourseTry> tries;
  // Eight phrases learnt on eight days; all of them due a month later.
  for (int32_t phrase = 0; phrase < 8; ++phrase) {
    tries.push_back(Sung(phrase, kDay + phrase, true));
    tries.push_back(Sung(phrase, kDay + phrase, true));
  }
  const CoursePlan plan = PlanDay(8, tries, kDay + 31);
  std::vector<std::vector<int32_t>> reviewed;
  for (const CourseStep& step : plan.steps)
    if (step.kind == StepKind::kReview) reviewed.push_back(step.phrases);
  EXPECT_EQ(reviewed, (std::vector<std::vector<int32_t>>{{0}, {1}, {2}, {3}, {4}}));
}

TEST(CoursePlan, IntervalsAcrossMonthsKeepGrowingWithinALimit) {
  EXPECT_EQ(ReviewInterval(0), 1);
  EXPECT_EQ(ReviewInterval(4), 35);
  EXPECT_EQ(ReviewInterval(5), 77);
  EXPECT_EQ(ReviewInterval(60), 3650);
  // Reviews passed on their days from 2024-09-28 on: the next one falls in the new year.
  std::vector<CourseTry> tries{Sung(0, kDay, true), Sung(0, kDay, true)};
  int64_t due = kDay + 1;
  for (int32_t review = 1; review <= 4; ++review) {
    tries.push_back(Sung(0, due, true));
    due += ReviewInterval(review);
  }
  const CoursePlan plan = PlanDay(1, tries, due - 1);
  EXPECT_EQ(*plan.phrases[0].nextReview, due);
  EXPECT_EQ(due - kDay, 1 + 3 + 7 + 16 + 35);
}

}  // namespace
}  // namespace course
