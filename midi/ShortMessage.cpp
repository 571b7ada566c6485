#include "midi/ShortMessage.h"

namespace midi {

namespace {

// Bytes in a message, status byte included.
int MessageLength(unsigned char status) {
  switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
      return 2;
    case 0xF0:
      switch (status) {
        case 0xF1:
        case 0xF3:
          return 2;
        case 0xF2:
          return 3;
        default:
          return 1;
      }
    default:
      return 3;
  }
}

}  // namespace

bool DecodeShortMessage(uint32_t message, ShortMessageBytes& out) {
  const unsigned char status = message & 0xFF;
  // A system-exclusive start or end has no place in a short message.
  if (status < 0x80 || status == 0xF0 || status == 0xF7) return false;
  out.length = MessageLength(status);
  out.bytes[0] = status;
  for (int i = 1; i < 3; ++i) out.bytes[i] = 0;
  for (int i = 1; i < out.length; ++i) {
    const uint32_t data = (message >> (8 * i)) & 0xFF;
    if (data > 0x7F) return false;
    out.bytes[i] = static_cast<unsigned char>(data);
  }
  return true;
}

}  // namespace midi
