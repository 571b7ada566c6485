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
  // The sound's level where the tracker measures it (PitchTrack::levels): the RMS of the
  // frame's window and the highest sample of its hop in dB below full scale, and how many
  // samples of the hop reached full scale.
  double levelDb = -200.0;
  double peakDb = -200.0;
  int32_t clipped = 0;
};

// The frames of a take, in time order, one every hopMs.
struct PitchTrack {
  double hopMs = 0.0;
  std::vector<PitchFrame> frames;
  bool levels = false;  // the frames carry their levels
};

double MidiCentsOfFrequency(double hz);
double FrequencyOfMidiCents(double midiCents);

// `cents` moved by whole octaves into [-600, 600): how far a pitch lies from a target when
// the octave it is sung in does not count.
double FoldToNearestOctave(double cents);

// "C4" for 60, "F#5" for 78 (middle C = C4); "-" outside 0..127.
std::string NoteName(int32_t midiNote);

}  // namespace listening
