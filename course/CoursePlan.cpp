#include "course/CoursePlan.h"

#include <algorithm>

namespace course {

namespace {

// True when a take of exactly phrases [first, last] has passed at full tempo.
bool PassedTogether(const std::vector<CourseTry>& tries, int32_t first, int32_t last) {
  return std::any_of(tries.begin(), tries.end(), [&](const CourseTry& take) {
    return take.firstPhrase == first && take.lastPhrase == last && take.passed &&
           take.tempoPercent >= 100 && take.strictEnough;
  });
}

bool Known(const PhraseStanding& standing) { return standing.state == PhraseState::kKnown; }

void AddReviews(CoursePlan& plan, int64_t today, int32_t limit) {
  std::vector<int32_t> due;
  for (size_t i = 0; i < plan.phrases.size(); ++i) {
    const PhraseStanding& standing = plan.phrases[i];
    if (Known(standing) && *standing.nextReview <= today) due.push_back(static_cast<int32_t>(i));
  }
  std::stable_sort(due.begin(), due.end(), [&](int32_t a, int32_t b) {
    return *plan.phrases[static_cast<size_t>(a)].nextReview <
           *plan.phrases[static_cast<size_t>(b)].nextReview;
  });
  if (static_cast<int32_t>(due.size()) > limit) due.resize(static_cast<size_t>(std::max(0, limit)));
  for (int32_t phrase : due) plan.steps.push_back({StepKind::kReview, {phrase}, 100});
}

// The phrases not yet known, in song order: every one begun, and new ones while the day
// has room for them (phrases first sung today count against it).
void AddLearning(CoursePlan& plan, const std::vector<CourseTry>& tries, int64_t today,
                 int32_t newLimit) {
  int32_t begunToday = 0;
  for (const PhraseStanding& standing : plan.phrases)
    if (standing.state != PhraseState::kNew && standing.firstDay == today) ++begunToday;
  int32_t newRoom = std::max(0, newLimit - begunToday);
  for (size_t i = 0; i < plan.phrases.size(); ++i) {
    const PhraseStanding& standing = plan.phrases[i];
    const auto phrase = static_cast<int32_t>(i);
    if (standing.state == PhraseState::kLearning) {
      plan.steps.push_back({StepKind::kLearn, {phrase}, standing.tempoPercent});
    } else if (standing.state == PhraseState::kNew && newRoom > 0) {
      --newRoom;
      plan.steps.push_back({StepKind::kLearn, {phrase}, standing.tempoPercent});
    }
    // Chain a phrase to the one before once both are known, until they pass together.
    if (i > 0 && Known(standing) && Known(plan.phrases[i - 1]) &&
        !PassedTogether(tries, phrase - 1, phrase))
      plan.steps.push_back({StepKind::kChain, {phrase - 1, phrase}, 100});
  }
}

void AddWholeSong(CoursePlan& plan, const std::vector<CourseTry>& tries) {
  const auto count = static_cast<int32_t>(plan.phrases.size());
  if (count < 2 || !std::all_of(plan.phrases.begin(), plan.phrases.end(), Known)) return;
  if (PassedTogether(tries, 0, count - 1)) return;
  // A song of two phrases: their chain is the whole song already.
  for (const CourseStep& step : plan.steps)
    if (step.kind == StepKind::kChain && step.phrases.front() == 0 &&
        step.phrases.back() == count - 1)
      return;
  CourseStep whole{StepKind::kWhole, {}, 100};
  for (int32_t i = 0; i < count; ++i) whole.phrases.push_back(i);
  plan.steps.push_back(std::move(whole));
}

}  // namespace

CoursePlan PlanDay(int32_t phraseCount, const std::vector<CourseTry>& tries, int64_t today,
                   const CourseLimits& limits) {
  CoursePlan plan;
  plan.phrases = StandingsOf(phraseCount, tries);
  AddReviews(plan, today, limits.reviewsPerDay);
  AddLearning(plan, tries, today, limits.newPhrasesPerDay);
  AddWholeSong(plan, tries);
  return plan;
}

const char* StepKindName(StepKind kind) {
  switch (kind) {
    case StepKind::kReview:
      return "review";
    case StepKind::kLearn:
      return "learn";
    case StepKind::kChain:
      return "chain";
    case StepKind::kWhole:
      return "whole";
  }
  return "learn";
}

}  // namespace course
