#pragma once

#include <cstdint>

struct Phrase;

// One number token: a pointer into the Score text (not owned) and its length.
struct TokenSpan {
  const char* start = nullptr;
  int32_t length = 0;
};

constexpr double kValueTolerance = 1e-10;
constexpr int32_t kMaxNumberLength = 999;
constexpr int32_t kRestPitch = -10000;

// Plain decimal value of the token's longest digits[.digits] prefix; 0 for tokens over 999 chars.
double NumberValue(TokenSpan token);
// Integer digits of a duration token counted from its first non-zero digit (may be <= 0).
int32_t IntegerDigitCount(TokenSpan token);
// Length in beats of a duration token; throws ScoreParseError.
double DurationBeats(TokenSpan token);
// MIDI note (key of C, middle C = 60) of a pitch token, or kRestPitch; throws ScoreParseError.
int32_t PitchNumber(TokenSpan token);
// Recomputes the phrase's pitches from its tokens for its do= key.
void TransposeToKey(Phrase& phrase);
