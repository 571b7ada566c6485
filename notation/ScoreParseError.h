#pragma once

#include <exception>

// A failure to parse score text, carrying a short fixed message such as
// "error timeing001!". The text is copied into the object, so it never dangles.
class ScoreParseError : public std::exception {
 public:
  static constexpr int kMessageCapacity = 128;

  explicit ScoreParseError(const char* text) noexcept;
  const char* what() const noexcept override { return message; }

 private:
  char message[kMessageCapacity];
};

// The phrase parser's signal that a phrase holds nothing to play. Deliberately
// not a std::exception and not a ScoreParseError: the score parser absorbs it.
struct EmptyPhrase {};
