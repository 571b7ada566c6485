#pragma once

#include <string>

#include "listening/TakeJudge.h"
#include "listening/TakeLevel.h"

namespace listening {

// The verdicts' words, as reports show them and the practice history stores them.

// "hit", "missed" or "not sung".
const char* VerdictName(Verdict verdict);
// The verdict named `name` as VerdictName gives it; false for any other text.
bool ParseVerdict(const std::string& name, Verdict& verdict);

// "good", "too quiet", "overloaded", "silent" or "unmeasured".
const char* LevelVerdictName(LevelVerdict verdict);

}  // namespace listening
