#pragma once

#include <cstdint>

namespace midi {

// A packed short message split into its bytes: status in bits 0-7, then the data bytes.
struct ShortMessageBytes {
  unsigned char bytes[3] = {};
  int length = 0;  // 1 to 3
};

// Splits a packed short message. False for a word that is no valid MIDI message (no status
// byte, or a data byte of 0x80 or more, as a note number above 127 makes); such a word is
// dropped by every port instead of reaching the receiver as garbage.
bool DecodeShortMessage(uint32_t message, ShortMessageBytes& out);

}  // namespace midi
