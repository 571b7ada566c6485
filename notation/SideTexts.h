#pragma once

#include <cstdint>

// The two process-wide side texts: first voice ("f1.txt") and further voices ("f2.txt")
// of every phrase of the last parse. Plain bytes, no terminator.
constexpr int32_t kSideTextCapacity = 60000;

extern char sideText1[kSideTextCapacity];
extern int32_t sideText1Length;
extern char sideText2[kSideTextCapacity];
extern int32_t sideText2Length;
