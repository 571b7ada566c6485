#include "course/CourseHistory.h"

#include <algorithm>
#include <cstdio>

#include "history/WallClock.h"

namespace course {

namespace {

// Days from 1970-01-01 of a date in the proleptic Gregorian calendar, and back (the civil
// calendar's well-known era arithmetic: 400-year eras of 146097 days, years from March).
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int64_t& year, int64_t& month, int64_t& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shifted = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * shifted + 2) / 5 + 1;
  month = shifted < 10 ? shifted + 3 : shifted - 9;
  year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

std::vector<CourseTry> CourseTriesOf(const std::vector<history::TryRecord>& tries) {
  std::vector<CourseTry> course;
  course.reserve(tries.size());
  for (const history::TryRecord& record : tries) {
    CourseTry take;
    take.firstPhrase = record.phrase;
    take.lastPhrase = record.lastPhrase.value_or(record.phrase);
    take.day = history::LocalDay(record.when);
    take.tempoPercent = record.tempoPercent;
    take.strictEnough = record.toleranceCents <= history::kNormalToleranceCents;
    take.passed = record.passed;
    course.push_back(take);
  }
  return course;
}

CoursePlan PlanFromHistory(const history::CPracticeStore& store, const std::string& scoreHash,
                           int32_t phraseCount, int64_t today, const CourseLimits& limits) {
  return PlanDay(phraseCount, CourseTriesOf(store.TriesOf(scoreHash)), today, limits);
}

CourseCounts CountStandings(const std::vector<PhraseStanding>& standings, int64_t today) {
  CourseCounts counts;
  counts.phrases = static_cast<int32_t>(standings.size());
  for (const PhraseStanding& standing : standings) {
    if (standing.state == PhraseState::kLearning) ++counts.learning;
    if (standing.state != PhraseState::kKnown) continue;
    ++counts.known;
    if (standing.nextReview && *standing.nextReview <= today) ++counts.due;
  }
  return counts;
}

std::optional<int64_t> NextDueDay(const std::vector<PhraseStanding>& standings, int64_t today) {
  std::optional<int64_t> next;
  for (const PhraseStanding& standing : standings) {
    if (standing.state == PhraseState::kNew) continue;
    const int64_t due = standing.state == PhraseState::kKnown && standing.nextReview
                            ? *standing.nextReview
                            : today + 1;
    if (!next || due < *next) next = due;
  }
  if (next) next = std::max(*next, today + 1);
  return next;
}

std::string DayText(int64_t day) {
  int64_t year = 0, month = 0, dayOfMonth = 0;
  CivilFromDays(day, year, month, dayOfMonth);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", static_cast<long long>(year),
                static_cast<long long>(month), static_cast<long long>(dayOfMonth));
  return text;
}

bool ParseDay(const std::string& text, int64_t& day) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (text[i] < '0' || text[i] > '9') return false;
  const int64_t year = std::stoll(text.substr(0, 4));
  const int64_t month = std::stoll(text.substr(5, 2));
  const int64_t dayOfMonth = std::stoll(text.substr(8, 2));
  if (month < 1 || month > 12 || dayOfMonth < 1) return false;
  const int64_t found = DaysFromCivil(year, month, dayOfMonth);
  // A day past the month's end comes back as another date.
  if (DayText(found) != text) return false;
  day = found;
  return true;
}

}  // namespace course
