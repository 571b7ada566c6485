#pragma once

#include <cstdint>
#include <vector>

#include "listening/Pitch.h"

namespace listening {

// How a range exercise is read: a note counts when the voice holds it steadily long enough.
struct RangeSettings {
  double heldMs = 300.0;      // a note is held at least this long: a squeak or growl is shorter
  double steadyCents = 50.0;  // ... within this of the note (the voice smoothed as below)
  double keepCents = 65.0;    // a held note goes on while within this, so that a voice near the
                              // edge between two notes does not split it
  double smoothMs = 100.0;    // each frame's pitch: the median of the voice this far either side,
                              // which evens out vibrato and the tracker's octave slips
  double gapMs = 50.0;        // an unvoiced stretch longer than this ends a note
};

// A note the voice held: its key (MIDI note), when it began and how long it lasted.
struct HeldNote {
  int32_t key = 0;
  double startMs = 0.0;
  double lengthMs = 0.0;
};

// The range a take shows: every held note in time order, the lowest and the highest.
struct SungRange {
  std::vector<HeldNote> held;
  int32_t lowest = 0;  // keys; meaningful when found()
  int32_t highest = 0;

  bool Found() const { return !held.empty(); }
};

// Reads a range exercise (the learner sings slowly from the lowest comfortable note to the
// highest): the notes held at least heldMs. `track` need not be sorted.
SungRange FindSungRange(const PitchTrack& track, const RangeSettings& settings = {});

}  // namespace listening
