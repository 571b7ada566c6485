#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace course {

// One judged take as the course reads it: which phrases it sang together (a single phrase,
// two chained, or the whole song), on which local day, at what share of the written tempo
// and how strictly it was judged.
struct CourseTry {
  int32_t firstPhrase = 0;  // from 0
  int32_t lastPhrase = 0;   // inclusive; firstPhrase for a single phrase
  int64_t day = 0;          // local calendar day, counted from 1970-01-01
  int32_t tempoPercent = 100;
  bool strictEnough = true;  // judged at normal strictness or stricter
  bool passed = false;
  bool Single() const { return firstPhrase == lastPhrase; }
};

enum class PhraseState { kNew, kLearning, kKnown };

// Where one phrase stands after its tries, taken in order.
struct PhraseStanding {
  PhraseState state = PhraseState::kNew;
  std::optional<int64_t> nextReview;  // known phrases: the day it comes back
  int32_t tempoPercent = 100;         // the tempo it is taught at next
  int64_t firstDay = 0;               // the day of its first try (kLearning, kKnown)
};

// Days until a known phrase comes back after `passedReviews` reviews passed since it became
// known: 1, 3, 7, 16, 35, then growing on by about 2.2 times.
int64_t ReviewInterval(int32_t passedReviews);

// Each phrase's standing after `tries` (in the order they were sung) for a song of
// `phraseCount` phrases. A phrase is known once its last two tries at full tempo, judged at
// normal strictness or stricter, passed; a failed one sends it back to learning. Two
// failures in a row at one tempo slow its teaching (100 % to 80 %, then 10 % at a time down
// to 50 %); a pass below full tempo speeds it up by 10 %.
std::vector<PhraseStanding> StandingsOf(int32_t phraseCount, const std::vector<CourseTry>& tries);

const char* PhraseStateName(PhraseState state);  // "new", "learning", "known"

}  // namespace course
