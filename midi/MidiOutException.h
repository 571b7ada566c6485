#pragma once

#include <exception>

namespace midi {

// A failure of the MIDI output layer, carrying its error text (at most 127 characters).
class CMIDIOutException : public std::exception {
 public:
  static constexpr int kMessageCapacity = 128;
  explicit CMIDIOutException(const char* text) noexcept;
  const char* what() const noexcept override { return message; }

 private:
  char message[kMessageCapacity];
};

}  // namespace midi
