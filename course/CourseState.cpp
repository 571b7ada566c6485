#include "course/CourseState.h"

#include <algorithm>
#include <cmath>

namespace course {

namespace {

constexpr int32_t kFullTempo = 100;
constexpr int32_t kSlowestTempo = 50;
constexpr int64_t kFirstIntervals[] = {1, 3, 7, 16, 35};
constexpr int64_t kLongestInterval = 3650;

// What the walk through one phrase's tries keeps besides its standing.
struct PhraseWalk {
  PhraseStanding standing;
  int32_t fullTempoPasses = 0;  // in a row, at full tempo and strict enough
  int32_t failsAtTempo = 0;     // in a row, at the tempo taught
  int32_t passedReviews = 0;
};

void Take(PhraseWalk& walk, const CourseTry& take) {
  PhraseStanding& standing = walk.standing;
  if (standing.state == PhraseState::kNew) {
    standing.state = PhraseState::kLearning;
    standing.firstDay = take.day;
  }
  const bool counts = take.tempoPercent >= kFullTempo && take.strictEnough;
  if (take.passed) {
    walk.failsAtTempo = 0;
    if (take.tempoPercent < kFullTempo)
      standing.tempoPercent =
          std::min(kFullTempo, std::max(standing.tempoPercent, take.tempoPercent) + 10);
    if (!counts) return;
    ++walk.fullTempoPasses;
    if (standing.state == PhraseState::kKnown) {
      // A pass on or after the day it was due is a review; one before changes nothing.
      if (take.day >= *standing.nextReview) {
        ++walk.passedReviews;
        standing.nextReview = take.day + ReviewInterval(walk.passedReviews);
      }
    } else if (walk.fullTempoPasses >= 2) {
      standing.state = PhraseState::kKnown;
      standing.tempoPercent = kFullTempo;
      walk.passedReviews = 0;
      standing.nextReview = take.day + ReviewInterval(0);
    }
    return;
  }
  if (counts) {
    walk.fullTempoPasses = 0;
    if (standing.state == PhraseState::kKnown) {
      standing.state = PhraseState::kLearning;  // a failed review: learnt again
      standing.nextReview.reset();
    }
  }
  if (take.tempoPercent > standing.tempoPercent) return;  // a try faster than it is taught
  if (++walk.failsAtTempo >= 2) {
    walk.failsAtTempo = 0;
    const int32_t slower = standing.tempoPercent >= kFullTempo ? 80 : standing.tempoPercent - 10;
    standing.tempoPercent = std::max(kSlowestTempo, slower);
  }
}

}  // namespace

int64_t ReviewInterval(int32_t passedReviews) {
  constexpr int32_t kTabled = static_cast<int32_t>(std::size(kFirstIntervals));
  if (passedReviews < kTabled) return kFirstIntervals[std::max(0, passedReviews)];
  const double grown = static_cast<double>(kFirstIntervals[kTabled - 1]) *
                       std::pow(2.2, passedReviews - kTabled + 1);
  return grown >= static_cast<double>(kLongestInterval) ? kLongestInterval
                                                        : static_cast<int64_t>(std::lround(grown));
}

std::vector<PhraseStanding> StandingsOf(int32_t phraseCount, const std::vector<CourseTry>& tries) {
  std::vector<PhraseWalk> walks(static_cast<size_t>(std::max(0, phraseCount)));
  for (const CourseTry& take : tries) {
    if (!take.Single() || take.firstPhrase < 0 || take.firstPhrase >= phraseCount) continue;
    Take(walks[static_cast<size_t>(take.firstPhrase)], take);
  }
  std::vector<PhraseStanding> standings;
  standings.reserve(walks.size());
  for (const PhraseWalk& walk : walks) standings.push_back(walk.standing);
  return standings;
}

const char* PhraseStateName(PhraseState state) {
  switch (state) {
    case PhraseState::kNew:
      return "new";
    case PhraseState::kLearning:
      return "learning";
    case PhraseState::kKnown:
      return "known";
  }
  return "new";
}

}  // namespace course
