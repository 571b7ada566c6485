#pragma once

#include <string>
#include <vector>

// How a note is spelt in the score's numbers: its length on the notation's grid, its length
// as length tokens, its key as a degree of a do= key. Times here are ticks of a 48th of a
// beat, on which both the binary lengths (down to a sixteenth of a beat) and the triplet
// lengths (down to a twelfth) fall.

namespace importers {

constexpr int kTicksPerBeat = 48;

// The grid point nearest to `beats`: a multiple of a sixteenth or of a twelfth of a beat.
long SnapToGrid(double beats);

// The tokens that together last `ticks` (> 0): one whole-and-binary token where it can, then
// triplet tokens ("3", "0.3", "0.03", "0.003"). Empty when `ticks` cannot be written (a
// length under the grid). A note of more than 9 beats (6 with a fraction) begins with
// tokens of whole beats.
std::vector<std::string> LengthTokens(long ticks);

// Whether LengthTokens can write `ticks`: every length of six ticks or more, three and four.
bool Writable(long ticks);

// The do= name of the major key with `fifths` sharps (+) or flats (-), "C" … "C#", "Cb".
std::string KeyName(int fifths);
// The MIDI key of degree 1 of that key, as the notation places it (do=C: 60, do=A: 69).
int KeyTonic(int fifths);
// The degree token of MIDI `key` in that key: "5", "4.1" (sharp 4), "10" (high 1), "0.7".
std::string DegreeToken(int key, int fifths);

}  // namespace importers
