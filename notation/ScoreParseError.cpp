#include "notation/ScoreParseError.h"

#include <cstring>

ScoreParseError::ScoreParseError(const char* text) noexcept {
  // Copy at most the capacity less one, always terminated.
  size_t length = text == nullptr ? 0 : std::strlen(text);
  if (length >= static_cast<size_t>(kMessageCapacity)) length = kMessageCapacity - 1;
  if (length > 0) std::memcpy(message, text, length);
  message[length] = '\0';
}
