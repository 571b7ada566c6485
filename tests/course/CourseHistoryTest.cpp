// The course reads the practice history: each stored try becomes a course try (its phrases,
// its local day, its tempo, strict enough or not), and days are written and read as dates.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "course/CourseHistory.h"
#include "tests/support/TempFolder.h"

namespace course {
namespace {

history::TryRecord Stored(int32_t phrase, int64_t unixMs, int32_t offsetMinutes, double cents,
                          bool passed) {
  history::TryRecord record;
  record.scoreHash = "0123456789abcdef";
  record.phrase = phrase;
  record.phraseText = "1,1";
  record.when = {unixMs, offsetMinutes};
  record.toleranceCents = cents;
  record.passed = passed;
  record.judgement.nothingHeard = false;
  return record;
}

TEST(CourseHistoryTest, EachTryIsReadWithItsPhrasesLocalDayTempoAndStrictness) {
  const int64_t dec11 = 20433;  // 2025-12-11
  const int64_t lateEvening = dec11 * 86400000 + 23 * 3600000;
  std::vector<history::TryRecord> tries = {
      Stored(0, lateEvening, 0, 50.0, true),     // normal, in UTC still Dec 11
      Stored(0, lateEvening, 120, 25.0, false),  // strict, already Dec 12 at UTC+2
      Stored(1, lateEvening, -60, 100.0, true),  // easy
      Stored(1, lateEvening, 0, 50.0, true),
  };
  tries[3].lastPhrase = 3;
  tries[3].tempoPercent = 80;
  const std::vector<CourseTry> course = CourseTriesOf(tries);
  ASSERT_EQ(course.size(), 4u);
  EXPECT_EQ(course[0].day, dec11);
  EXPECT_EQ(course[1].day, dec11 + 1);
  EXPECT_TRUE(course[0].strictEnough);
  EXPECT_TRUE(course[1].strictEnough);
  EXPECT_FALSE(course[2].strictEnough);
  EXPECT_TRUE(course[0].passed);
  EXPECT_FALSE(course[1].passed);
  EXPECT_TRUE(course[0].Single());
  EXPECT_EQ(course[0].tempoPercent, 100);
  EXPECT_EQ(course[3].firstPhrase, 1);
  EXPECT_EQ(course[3].lastPhrase, 3);
  EXPECT_EQ(course[3].tempoPercent, 80);
}

TEST(CourseHistoryTest, APhrasePassedTwiceInTheStoreIsKnownAndComesBackTomorrow) {
  testsupport::TempFolder folder;
  history::CPracticeStore store(folder.File("history.sqlite"));
  const int64_t day = 20433;
  store.Record(Stored(0, day * 86400000 + 1000, 0, 50.0, true));
  store.Record(Stored(0, day * 86400000 + 2000, 0, 50.0, true));
  const CoursePlan plan = PlanFromHistory(store, "0123456789abcdef", 2, day);
  ASSERT_EQ(plan.phrases.size(), 2u);
  EXPECT_EQ(plan.phrases[0].state, PhraseState::kKnown);
  EXPECT_EQ(plan.phrases[0].nextReview, std::optional<int64_t>(day + 1));
  EXPECT_EQ(plan.phrases[1].state, PhraseState::kNew);
}

TEST(CourseHistoryTest, DaysAreWrittenAndReadAsDates) {
  const struct {
    const char* text;
    int64_t day;
  } dates[] = {{"1970-01-01", 0},     {"1969-12-31", -1},    {"2000-02-29", 11016},
               {"2025-12-11", 20433}, {"2026-03-01", 20513}, {"2100-12-31", 47846}};
  for (const auto& date : dates) {
    EXPECT_EQ(DayText(date.day), date.text);
    int64_t day = 0;
    EXPECT_TRUE(ParseDay(date.text, day)) << date.text;
    EXPECT_EQ(day, date.day) << date.text;
  }
  for (const char* wrong : {"2025-02-29", "2025-13-01", "2025-00-10", "2025-1-01", "25-12-11",
                            "2025/12/11", "2025-12-1x", "", "2025-12-32"}) {
    int64_t day = 7;
    EXPECT_FALSE(ParseDay(wrong, day)) << wrong;
    EXPECT_EQ(day, 7) << wrong;
  }
}

}  // namespace
}  // namespace course
