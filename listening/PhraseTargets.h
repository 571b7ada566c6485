#pragma once

#include <cstdint>
#include <vector>

struct Phrase;

namespace listening {

// A note the learner is to sing, timed as the player lays the phrase out: from the start of
// the phrase's pass, in milliseconds.
struct TargetNote {
  int32_t index = 0;  // the note's index in the phrase
  int32_t pitch = 0;  // MIDI key, transposed
  int32_t startMs = 0;
  int32_t endMs = 0;
};

// The notes of `phrase` a voice can sing back, raised by `transpose` semitones: those of the
// first voice (a singer follows one line) that sound (a key 1 to 127 once raised) and last
// longer than a millisecond (a chord's zero-length notes are not judged). Times follow the
// player: ms per beat = 60000 / tempo in whole milliseconds, a note's start and end truncated.
// Throws std::out_of_range when a time does not fit 32 bits, which no phrase the player
// accepts does.
std::vector<TargetNote> PhraseTargets(const Phrase& phrase, int32_t transpose);

// The length of `phrase`'s pass in milliseconds, timed the same way.
int32_t PhraseLengthMs(const Phrase& phrase);

}  // namespace listening
