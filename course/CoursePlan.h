#pragma once

#include <cstdint>
#include <vector>

#include "course/CourseState.h"

namespace course {

// How much one day holds: reviews come first, then the phrases being learnt, of which only
// so many may be new.
struct CourseLimits {
  int32_t reviewsPerDay = 5;
  int32_t newPhrasesPerDay = 3;
};

enum class StepKind { kReview, kLearn, kChain, kWhole };

// One step of a day's course: the phrases sung as one take, and at what share of the tempo.
// kLearn is heard first (the phrase and the cue), then sung back until it passes.
struct CourseStep {
  StepKind kind = StepKind::kLearn;
  std::vector<int32_t> phrases;  // from 0, in song order
  int32_t tempoPercent = 100;
};

struct CoursePlan {
  std::vector<PhraseStanding> phrases;
  std::vector<CourseStep> steps;
};

// What today (a local day counted from 1970-01-01) holds for a song of `phraseCount`
// phrases after `tries`: the reviews due (the longest overdue first, up to the day's limit);
// the phrases not yet known, in song order, with at most the day's limit of new ones; two
// known neighbours that have never passed sung together, chained; and, once every phrase is
// known, the whole song until it has passed sung through.
CoursePlan PlanDay(int32_t phraseCount, const std::vector<CourseTry>& tries, int64_t today,
                   const CourseLimits& limits = {});

const char* StepKindName(StepKind kind);  // "review", "learn", "chain", "whole"

}  // namespace course
