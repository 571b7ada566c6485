#pragma once

#include <string>

namespace listening {

// How strictly notes are judged: the cents either way a hit may lie from its target.
enum class Tolerance {
  kStrict,  // ±25 cents: a trained singer
  kNormal,  // ±50 cents: the default
  kEasy,    // ±100 cents: a beginner
};

double ToleranceCents(Tolerance tolerance);
// "strict", "normal" or "easy".
const char* ToleranceName(Tolerance tolerance);
// The tolerance named `name` as ToleranceName gives it; false for any other text.
bool ParseTolerance(const std::string& name, Tolerance& tolerance);

}  // namespace listening
