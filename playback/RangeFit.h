#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "notation/Phrase.h"
#include "notation/VoiceRange.h"

struct Score;

// Practice drills a phrase at up to this many pitch levels, a semitone apart.
constexpr int32_t kPracticeLevels = 12;

// Where practice drills a phrase: its first level `base` semitones from the written pitch,
// then `levels` levels in all, a semitone apart, each played twice (a pass after the
// reference note, a pass after the cue).
struct PracticeLadder {
  int32_t base = 0;
  int32_t levels = kPracticeLevels;
};

// The keys a singer sings in `phrase`: its first voice's notes that last and sound as written
// (keys 1 to 127; rests and a chord's zero-length notes aside), sorted, into `keys`, which is
// cleared first.
void SungKeys(const Phrase& phrase, std::vector<int32_t>& keys);

// The practice ladder of a phrase with the sung keys `sortedKeys` for a singer of `range`: the
// lowest note starts at the bottom of the range and the highest never passes its top, with as
// many levels as fit, up to kPracticeLevels. A phrase wider than the range gets one level: the
// one that leaves the fewest notes outside. No keys: the written pitch and every level.
PracticeLadder FitPracticeLadder(const std::vector<int32_t>& sortedKeys, const VoiceRange& range);

// The transposition that fits a phrase best into `range`: none when it fits as written, else
// the nearest whole number of octaves that fits, else the shift that centres it in the range;
// a phrase wider than the range as FitPracticeLadder places its one level.
int32_t FitTransposition(const std::vector<int32_t>& sortedKeys, const VoiceRange& range);

// The fit of every phrase of a score for one singer: what the player plays each phrase at.
// Without a range every phrase keeps its written pitch and practice its twelve levels.
class CRangeFit {
 public:
  CRangeFit() { keys_.reserve(kMaxPhraseTokens); }

  // Fits the phrases of `score` into `range` (none: clears the fit).
  void Fit(const Score& score, const std::optional<VoiceRange>& range);

  const std::optional<VoiceRange>& Range() const { return range_; }
  // The transposition of phrase `row` in teaching, the whole-score modes and sing-back.
  int32_t Shift(int32_t row) const;
  // Phrase `row`'s practice ladder.
  PracticeLadder Ladder(int32_t row) const;

 private:
  std::optional<VoiceRange> range_;
  std::vector<int32_t> shifts_;
  std::vector<PracticeLadder> ladders_;
  std::vector<int32_t> keys_;  // Fit's working list
};
