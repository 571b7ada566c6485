#pragma once

#include <cstdint>
#include <string>

#include "history/PracticeStore.h"

// Simulated practice: `tries` tries of `score`'s phrases spread over `days` days up to
// `lastDayStart` (the local midnight of the last day, in Unix ms), a sitting each day, the
// learner getting better day by day and one note staying sharp. Deterministic.
struct FillPlan {
  std::string scoreText;
  std::string scoreFile;
  int64_t tries = 700;
  int32_t days = 7;
  int32_t phrases = 0;  // 0: every phrase of the score
  int64_t lastDayStartMs = 0;
  int32_t utcOffsetMinutes = 0;
};

// Stores the plan's tries, one transaction each as the program stores them; returns how many.
int64_t FillHistory(history::CPracticeStore& store, const FillPlan& plan);
