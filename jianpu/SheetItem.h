#pragma once

#include <cstdint>
#include <string>

#include "jianpu/Sheet.h"

namespace jianpu {

// What a laid-out item draws.
enum class ItemKind : int32_t {
  kDigit,      // a degree 1-7 or a rest 0; `text` is the digit
  kSharp,      // the raise before a digit
  kOctaveDot,  // one octave up (above the digit) or down (below)
  kUnderline,  // `level` 1, 2, 3 ... under the heads of one beat (or one triplet)
  kDash,       // one more beat of the note before it
  kDot,        // augmentation dot
  kTie,        // the arc that joins two heads of one note
  kTriplet,    // the bracket over a triplet, `text` "3"
  kBarLine,    // `level` 0: a measure's end, 1: a phrase's, 2: the score's
  kHeader,     // "1=F", "♩=100": the key and tempo where they start or change
  kFault,      // a phrase the parser refused: `text` the phrase, `message` the parser's
  kPhrase,     // the box a phrase (or the part of it on one line) takes, drawn only when lit
  kTitle,
  kPageNumber,  // "n / m"
  kSyllable,    // a note's syllable, centred under it; `level` its verse from 0
  kExtender,    // the line a held syllable draws under the notes it goes on over; `level` too
};

// One item of the sheet, its box in layout units (y grows downwards). Note items (digits and
// what belongs to their head) remember the note and the bytes of its two numbers; phrase
// boxes and faults their phrase's bytes.
struct SheetItem {
  ItemKind kind = ItemKind::kDigit;
  double x = 0.0;
  double y = 0.0;
  double width = 0.0;
  double height = 0.0;
  std::string text;
  std::string message;
  int32_t level = 0;
  int32_t phrase = -1;
  int32_t note = -1;
  SourceRange source;
};

// The sizes the layout works in; the painter scales one unit to a point of paper (or a pixel
// of the view) and draws a digit `kDigitHeight` units tall in a box `kDigitWidth` wide.
constexpr double kDigitWidth = 8.0;
constexpr double kDigitHeight = 11.0;
constexpr double kSharpWidth = 5.0;
constexpr double kDotWidth = 4.0;
constexpr double kDotRadius = 1.1;
constexpr double kDotStep = 3.2;
constexpr double kUnderlineStep = 2.8;
constexpr double kUnderlineThickness = 0.9;
constexpr double kColumnGap = 6.0;
constexpr double kBarGap = 12.0;
constexpr double kHeaderHeight = 14.0;
constexpr double kTextSize = 10.0;  // header and fault text, in units
constexpr double kRowGap = 8.0;
constexpr double kLineGap = 14.0;
constexpr double kWordsSize = 10.0;    // the words' text, in units
constexpr double kVerseHeight = 13.0;  // from one verse's line to the next
constexpr double kWordsGap = 3.0;      // between the notes of the first row and the words

}  // namespace jianpu
