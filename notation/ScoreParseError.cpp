#include "notation/ScoreParseError.h"

#include <cstring>

ScoreParseError::ScoreParseError(const char* text) noexcept {
  // Copy at most the capacity less one, always terminated.
  size_t length = text == nullptr ? 0 : std::strlen(text);
  if (length >= static_cast<size_t>(kMessageCapacity)) length = kMessageCapacity - 1;
  if (length > 0) std::memcpy(message, text, length);
  message[length] = '\0';
}

void ScoreParseError::MarkNumber(const char* start, int32_t length) noexcept {
  if (numberStart_ != nullptr || numberOffset_ >= 0) return;
  numberStart_ = start;
  numberLength_ = length;
}

void ScoreParseError::MarkPhrase(const char* start, int32_t length) noexcept {
  if (phraseStart_ != nullptr || phraseOffset_ >= 0) return;
  phraseStart_ = start;
  phraseLength_ = length;
}

void ScoreParseError::ResolveMarks(const char* base, int32_t shift) noexcept {
  if (phraseStart_ != nullptr) phraseOffset_ = static_cast<int32_t>(phraseStart_ - base) + shift;
  if (numberStart_ != nullptr) numberOffset_ = static_cast<int32_t>(numberStart_ - base) + shift;
  phraseStart_ = nullptr;
  numberStart_ = nullptr;
}
