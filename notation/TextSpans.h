#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "notation/Score.h"

// Where what the score parser read stands in the text it was given, in bytes. The parser
// works on a copy of that text without the '|' that may open it, and its phrases and tokens
// point into that copy: a shift of one byte puts them back where they were typed.

// The bytes [begin, end) of the text given to ParseScore.
struct TextSpan {
  int32_t begin = -1;
  int32_t end = -1;
  bool operator==(const TextSpan& other) const { return begin == other.begin && end == other.end; }
};

// How far the Score's copy lies into `text`, the text given to ParseScore: 1 when it opens
// with a '|', which the parser drops; else 0.
int32_t LeadingBarShift(std::string_view text);

// Phrase `row` of `score`, as typed in the text given to ParseScore (`shift` from
// LeadingBarShift of that text); none for a phrase the Score does not hold.
std::optional<TextSpan> PhraseTextSpan(const Score& score, int32_t row, int32_t shift);

// Note `note` of phrase `row`: its two numbers, the length and then the degree, with what
// stands between them; none for a phrase or note the Score does not hold.
std::optional<TextSpan> NoteTextSpan(const Score& score, int32_t row, int32_t note, int32_t shift);
