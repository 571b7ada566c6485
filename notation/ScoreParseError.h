#pragma once

#include <cstdint>
#include <exception>

// A failure to parse score text, carrying a short fixed message such as
// "error timeing001!". The text is copied into the object, so it never dangles.
//
// Where the parser can tell, it also says where the fault is: the phrase at fault and, for a
// duration, a pitch or a key field, the number itself, as offsets into the text given to
// ParseScore (comments and line breaks included). Offsets are -1 where there is none.
class ScoreParseError : public std::exception {
 public:
  static constexpr int kMessageCapacity = 128;

  explicit ScoreParseError(const char* text) noexcept;
  const char* what() const noexcept override { return message; }

  int32_t PhraseOffset() const { return phraseOffset_; }
  int32_t PhraseLength() const { return phraseLength_; }
  int32_t NumberOffset() const { return numberOffset_; }
  int32_t NumberLength() const { return numberLength_; }

  // The parser marks a stretch of its working text as it unwinds (the innermost mark wins),
  // then turns the marks into offsets: `base` is the working text, which starts `shift`
  // bytes into the text the caller gave.
  void MarkNumber(const char* start, int32_t length) noexcept;
  void MarkPhrase(const char* start, int32_t length) noexcept;
  void ResolveMarks(const char* base, int32_t shift) noexcept;

 private:
  char message[kMessageCapacity];
  const char* numberStart_ = nullptr;
  const char* phraseStart_ = nullptr;
  int32_t phraseOffset_ = -1;
  int32_t phraseLength_ = 0;
  int32_t numberOffset_ = -1;
  int32_t numberLength_ = 0;
};

// The phrase parser's signal that a phrase holds nothing to play. Deliberately
// not a std::exception and not a ScoreParseError: the score parser absorbs it.
struct EmptyPhrase {};
