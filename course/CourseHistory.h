#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "course/CoursePlan.h"
#include "history/PracticeStore.h"

namespace course {

// A song's tries from the practice history (TriesOf, in time order) as the course reads them:
// the phrases each take sang, its local day, its tempo, and whether it was judged at normal
// strictness or stricter (a tolerance of kNormalToleranceCents or less).
std::vector<CourseTry> CourseTriesOf(const std::vector<history::TryRecord>& tries);

// Today's plan for the song of `phraseCount` phrases whose text hashes to `scoreHash`.
CoursePlan PlanFromHistory(const history::CPracticeStore& store, const std::string& scoreHash,
                           int32_t phraseCount, int64_t today, const CourseLimits& limits = {});

// How many phrases stand where on `today`: known, learning, and known ones due for review.
struct CourseCounts {
  int32_t phrases = 0;
  int32_t known = 0;
  int32_t learning = 0;
  int32_t due = 0;
};
CourseCounts CountStandings(const std::vector<PhraseStanding>& standings, int64_t today);

// The next day after `today` something of the song is due: the earliest review of a known
// phrase, tomorrow while one is being learnt; none while every phrase is new.
std::optional<int64_t> NextDueDay(const std::vector<PhraseStanding>& standings, int64_t today);

// A local day counted from 1970-01-01 as "2026-12-11", and back; ParseDay is false for
// anything but a real date written so.
std::string DayText(int64_t day);
bool ParseDay(const std::string& text, int64_t& day);

}  // namespace course
