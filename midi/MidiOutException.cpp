#include "midi/MidiOutException.h"

#include <cstring>

namespace midi {

CMIDIOutException::CMIDIOutException(const char* text) noexcept {
  std::memset(message, 0, sizeof message);
  if (text == nullptr) return;
  size_t length = std::strlen(text);
  if (length > kMessageCapacity - 1) {
    length = kMessageCapacity - 1;
    // Do not cut a UTF-8 sequence in half: drop its leading bytes too.
    size_t start = length;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    if (start < length && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) length = start;
  }
  std::memcpy(message, text, length);
}

}  // namespace midi
