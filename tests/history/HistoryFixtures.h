#pragma once

#include <cstdint>
#include <string>

#include "history/PracticeStore.h"

namespace historytest {

// A try of `phrase` of score `hash` judged at `unixMs` (UTC+offset): one note per letter of
// `verdicts` (H hit, M missed, N not sung), C4 upwards, 500 ms each, sung `cents` off when
// sung. Passes with 80 % hits, as the judge's rule.
history::TryRecord MakeTry(const std::string& hash, int32_t phrase, int64_t unixMs,
                           const std::string& verdicts, double cents = 0.0,
                           int32_t utcOffsetMinutes = 0);

// Milliseconds of a UTC date and time, for readable fixtures.
int64_t UtcMs(int year, int month, int day, int hour = 12, int minute = 0);

}  // namespace historytest
