#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace listening {

// One analysis frame of the learner's voice. Pitches are MIDI cents: 100 per semitone,
// 6900 = A4 = 440 Hz.
struct PitchFrame {
  double timeMs = 0.0;      // from the start of the take
  double midiCents = 0.0;   // 0 when no pitch was found
  double confidence = 0.0;  // the tracker's, 0 to 1
  bool voiced = false;      // a pitch the tracker stands by, above its silence gate
};

// The frames of a take, in time order, one every hopMs.
struct PitchTrack {
  double hopMs = 0.0;
  std::vector<PitchFrame> frames;
};

double MidiCentsOfFrequency(double hz);
double FrequencyOfMidiCents(double midiCents);

// `cents` moved by whole octaves into [-600, 600): how far a pitch lies from a target when
// the octave it is sung in does not count.
double FoldToNearestOctave(double cents);

// "C4" for 60, "F#5" for 78 (middle C = C4); "-" outside 0..127.
std::string NoteName(int32_t midiNote);

}  // namespace listening
