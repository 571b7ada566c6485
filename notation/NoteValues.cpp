#include "notation/NoteValues.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include "notation/Phrase.h"
#include "notation/ScoreParseError.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool Contains(TokenSpan token, char wanted) {
  return token.length > 0 &&
         std::memchr(token.start, wanted, static_cast<size_t>(token.length)) != nullptr;
}

// Degree 1..7 of the key of C: natural and raised MIDI notes.
constexpr int32_t kNaturalPitch[8] = {0, 60, 62, 64, 65, 67, 69, 71};
constexpr int32_t kSharpPitch[8] = {0, 61, 63, 64, 66, 68, 70, 71};

// The six binary places of a duration's fraction, written in decimal.
struct FractionPlace {
  double place;
  double beats;
};
constexpr FractionPlace kFractionPlaces[6] = {
    {0.1, 0.5},       {0.01, 0.25},       {0.001, 0.125},
    {0.0001, 0.0625}, {0.00001, 0.03125}, {0.000001, 0.015625},
};

}  // namespace

double NumberValue(TokenSpan token) {
  if (token.start == nullptr || token.length <= 0 || token.length > kMaxNumberLength) return 0.0;
  const char* text = token.start;
  const int32_t length = token.length;

  // Longest prefix of the form digits [ '.' digits ].
  int32_t end = 0;
  int32_t digits = 0;
  while (end < length && IsDigit(text[end])) {
    ++end;
    ++digits;
  }
  if (end < length && text[end] == '.') {
    ++end;
    while (end < length && IsDigit(text[end])) {
      ++end;
      ++digits;
    }
  }
  if (digits == 0) return 0.0;

  double value = 0.0;
  const std::from_chars_result result =
      std::from_chars(text, text + end, value, std::chars_format::fixed);
  if (result.ec == std::errc::result_out_of_range) {
    // The standard conversion overflows to infinity; an underflow is as good as zero here,
    // since every use treats values below the tolerance as zero.
    int32_t firstSignificant = 0;
    while (firstSignificant < end && (text[firstSignificant] == '0')) ++firstSignificant;
    const bool wholePartNonZero = firstSignificant < end && text[firstSignificant] != '.';
    return wholePartNonZero ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return value;
}

int32_t IntegerDigitCount(TokenSpan token) {
  if (token.start == nullptr || token.length <= 0) return 0;
  const char* text = token.start;
  const int32_t length = token.length;

  int32_t first = 0;
  while (first < length && !(IsDigit(text[first]) && text[first] != '0')) ++first;
  if (first == length) return 0;

  const void* point = std::memchr(text, '.', static_cast<size_t>(length));
  if (point != nullptr) return static_cast<int32_t>(static_cast<const char*>(point) - text) - first;

  int32_t count = 0;
  while (first + count < length && IsDigit(text[first + count])) ++count;
  return count;
}

double DurationBeats(TokenSpan token) {
  const double d = NumberValue(token);
  if (d > -kValueTolerance && d < kValueTolerance) return 0.0;

  if (Contains(token, '3')) {
    constexpr double kTripletTokens[4] = {3.0, 0.3, 0.03, 0.003};
    constexpr double kTripletBeats[4] = {2.0 / 3.0, 1.0 / 3.0, 1.0 / 6.0, 1.0 / 12.0};
    for (int i = 0; i < 4; ++i) {
      const double difference = d - kTripletTokens[i];
      if (difference > -kValueTolerance && difference < kValueTolerance) return kTripletBeats[i];
    }
    throw ScoreParseError("error timing003!");
  }
  if (!Contains(token, '1')) throw ScoreParseError("error timeing001!");
  for (int32_t i = 0; i < token.length; ++i) {
    const char c = token.start[i];
    if (c != '0' && c != '1' && c != '.') throw ScoreParseError("error timeing002!");
  }

  const int32_t wholeBeats = IntegerDigitCount(token);
  if (!(d < 2147483648.0)) throw ScoreParseError("error timing 004");
  double fraction = d - std::trunc(d);

  double beats = 0.0;
  for (const FractionPlace& row : kFractionPlaces) {
    if (fraction >= row.place - kValueTolerance) {
      beats += row.beats;
      fraction -= row.place;
    }
  }
  if (!(fraction > -kValueTolerance && fraction < kValueTolerance))
    throw ScoreParseError("error timing 004");
  return wholeBeats >= 1 ? beats + wholeBeats : beats;
}

int32_t PitchNumber(TokenSpan token) {
  double c = NumberValue(token);
  if (c > -kValueTolerance && c < kValueTolerance) return kRestPitch;
  // Infinity (a token of more than 308 integer digits) never normalises: no such degree.
  if (!std::isfinite(c)) throw ScoreParseError("error tune 1111!");

  int32_t octave = 0;
  if (c >= 1.0 - kValueTolerance) {
    while (c > 10.0 - kValueTolerance) {
      c /= 10.0;
      ++octave;
    }
  } else {
    while (c < 1.0 - kValueTolerance) {
      c *= 10.0;
      --octave;
    }
  }

  const double degreeValue = std::trunc(c + kValueTolerance);
  const double remainder = degreeValue - c;
  const bool sharp = remainder < -kValueTolerance || remainder > kValueTolerance;
  if (degreeValue < 1.0 || degreeValue > 7.0) throw ScoreParseError("error tune 1111!");
  const int degree = static_cast<int>(degreeValue);
  return (sharp ? kSharpPitch[degree] : kNaturalPitch[degree]) + 12 * octave;
}

void TransposeToKey(Phrase& phrase) {
  if (phrase.keyLetter == kNoKey) return;
  int32_t base = 60;
  switch (phrase.keyLetter) {
    case 'A':
      base = 69;
      break;
    case 'B':
      base = 71;
      break;
    case 'C':
      base = 60;
      break;
    case 'D':
      base = 62;
      break;
    case 'E':
      base = 64;
      break;
    case 'F':
      base = 65;
      break;
    case 'G':
      base = 67;
      break;
    default:
      base = 60;
      break;
  }
  const int32_t offset = base + phrase.accidental - 60;
  for (int32_t i = 0; i < phrase.noteCount; ++i) {
    phrase.pitches[i] = PitchNumber(phrase.tokens[2 * i + 1]) + offset;
  }
}
