#include "playback/RangeFit.h"

#include <algorithm>
#include <cstdlib>

#include "notation/NoteValues.h"
#include "notation/Score.h"

namespace {

constexpr int32_t kOctave = 12;

// The largest multiple of 12 at most `value`, and the smallest at least it.
int64_t OctaveAtMost(int64_t value) {
  return value >= 0 ? value / kOctave * kOctave : -((-value + kOctave - 1) / kOctave) * kOctave;
}
int64_t OctaveAtLeast(int64_t value) { return -OctaveAtMost(-value); }

// For a phrase wider than the range: the shift that leaves the fewest notes outside it; of
// equal ones, the one that centres the phrase best, then the smaller.
int32_t FewestOutside(const std::vector<int32_t>& keys, const VoiceRange& range) {
  const int64_t lo = keys.front();
  const int64_t hi = keys.back();
  // Only shifts that leave some of the phrase over the range can be best.
  const int64_t first = range.low - hi;
  const int64_t last = range.high - lo;
  int64_t best = first;
  int64_t bestOutside = -1;
  int64_t bestOffCentre = 0;
  for (int64_t shift = first; shift <= last; ++shift) {
    const auto below = std::lower_bound(keys.begin(), keys.end(), range.low - shift) - keys.begin();
    const auto above = keys.end() - std::upper_bound(keys.begin(), keys.end(), range.high - shift);
    const int64_t outside = below + above;
    const int64_t offCentre = std::llabs(lo + hi + 2 * shift - range.low - range.high);
    if (bestOutside < 0 || outside < bestOutside ||
        (outside == bestOutside && offCentre < bestOffCentre)) {
      best = shift;
      bestOutside = outside;
      bestOffCentre = offCentre;
    }
  }
  return static_cast<int32_t>(best);
}

// How many semitones the phrase can move inside the range; negative when it is wider.
int64_t Room(const std::vector<int32_t>& keys, const VoiceRange& range) {
  return (static_cast<int64_t>(range.high) - range.low) -
         (static_cast<int64_t>(keys.back()) - keys.front());
}

}  // namespace

void SungKeys(const Phrase& phrase, std::vector<int32_t>& keys) {
  keys.clear();
  const int32_t notes = FirstVoiceNoteCount(phrase);
  for (int32_t i = 0; i < notes; ++i) {
    // Rests (far below every key, however the key moved them) and keys no synthesizer plays
    // do not place the phrase.
    const int32_t key = phrase.pitches[i];
    if (key < 1 || key > 127 || phrase.durations[i] <= kValueTolerance) continue;
    keys.push_back(key);
  }
  std::sort(keys.begin(), keys.end());
}

PracticeLadder FitPracticeLadder(const std::vector<int32_t>& sortedKeys, const VoiceRange& range) {
  if (sortedKeys.empty()) return {};
  const int64_t room = Room(sortedKeys, range);
  if (room < 0) return {FewestOutside(sortedKeys, range), 1};
  return {range.low - sortedKeys.front(),
          static_cast<int32_t>(std::min<int64_t>(kPracticeLevels, room + 1))};
}

int32_t FitTransposition(const std::vector<int32_t>& sortedKeys, const VoiceRange& range) {
  if (sortedKeys.empty()) return 0;
  if (Room(sortedKeys, range) < 0) return FewestOutside(sortedKeys, range);
  // The shifts that fit: from lifting the lowest note to the bottom to bringing the highest
  // down to the top.
  const int64_t least = static_cast<int64_t>(range.low) - sortedKeys.front();
  const int64_t most = static_cast<int64_t>(range.high) - sortedKeys.back();
  if (least <= 0 && 0 <= most) return 0;
  const int64_t octave = most < 0 ? OctaveAtMost(most) : OctaveAtLeast(least);
  if (least <= octave && octave <= most) return static_cast<int32_t>(octave);
  // The middle of the phrase on the middle of the range (the lower of two equal ones).
  const int64_t twice =
      static_cast<int64_t>(range.low) + range.high - sortedKeys.front() - sortedKeys.back();
  const int64_t centred = twice >= 0 ? twice / 2 : -((-twice + 1) / 2);
  return static_cast<int32_t>(std::clamp(centred, least, most));
}

void CRangeFit::Fit(const Score& score, const std::optional<VoiceRange>& range) {
  range_ = range;
  shifts_.clear();
  ladders_.clear();
  if (!range_) return;
  shifts_.reserve(static_cast<size_t>(score.phraseCount));
  ladders_.reserve(static_cast<size_t>(score.phraseCount));
  for (int32_t row = 0; row < score.phraseCount; ++row) {
    SungKeys(score.phrases[row], keys_);
    shifts_.push_back(FitTransposition(keys_, *range_));
    ladders_.push_back(FitPracticeLadder(keys_, *range_));
  }
}

int32_t CRangeFit::Shift(int32_t row) const {
  return row >= 0 && row < static_cast<int32_t>(shifts_.size()) ? shifts_[row] : 0;
}

PracticeLadder CRangeFit::Ladder(int32_t row) const {
  return row >= 0 && row < static_cast<int32_t>(ladders_.size()) ? ladders_[row] : PracticeLadder{};
}
