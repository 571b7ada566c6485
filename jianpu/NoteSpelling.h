#pragma once

#include <cstdint>
#include <vector>

#include "notation/NoteValues.h"

namespace jianpu {

// How a pitch token is written: the scale degree (0 for a rest), the octaves above (+) or
// below (-) middle C's, drawn as dots, and the raise of a semitone, drawn as a sharp.
struct WrittenPitch {
  int32_t degree = 0;
  int32_t octave = 0;
  bool sharp = false;
};

// The written form of a pitch token, read back from the note the notation gives it in the key
// of C (a raise on 3 or 7 sounds as the plain degree and is written so). Throws
// ScoreParseError for a token the parser refuses.
WrittenPitch WritePitch(TokenSpan token);

// One written head of a note's length: its underlines (one per halving below a beat), the
// dashes after it (one per further whole beat) and its augmentation dots. A length that no
// single head writes is several heads, each after the first tied to the one before.
struct WrittenLength {
  int32_t underlines = 0;
  int32_t dashes = 0;
  int32_t dots = 0;
};

// The heads of a length in beats. Triplet lengths (2/3, 1/3, 1/6, 1/12 of a beat) are written
// as the plain length they stand in for (1, 1/2, 1/4, 1/8) under a triplet bracket.
std::vector<WrittenLength> WriteLength(double beats);

// The beats one head stands for (before a triplet's shortening).
double HeadBeats(const WrittenLength& head);

// True for the four triplet lengths.
bool IsTripletLength(double beats);

}  // namespace jianpu
