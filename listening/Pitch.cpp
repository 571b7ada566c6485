#include "listening/Pitch.h"

#include <cmath>

namespace listening {

double MidiCentsOfFrequency(double hz) {
  return hz > 0.0 ? 6900.0 + 1200.0 * std::log2(hz / 440.0) : 0.0;
}

double FrequencyOfMidiCents(double midiCents) {
  return 440.0 * std::exp2((midiCents - 6900.0) / 1200.0);
}

double FoldToNearestOctave(double cents) {
  const double folded = cents - 1200.0 * std::floor((cents + 600.0) / 1200.0);
  return folded;
}

std::string NoteName(int32_t midiNote) {
  static const char* const kNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                         "F#", "G",  "G#", "A",  "A#", "B"};
  if (midiNote < 0 || midiNote > 127) return "-";
  return std::string(kNames[midiNote % 12]) + std::to_string(midiNote / 12 - 1);
}

}  // namespace listening
