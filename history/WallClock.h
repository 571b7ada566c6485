#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace history {

// A moment as the learner's clock showed it: Unix time in milliseconds and the local time's
// offset from UTC then, so that a try's day and hour stay as they were wherever it is read.
struct WallTime {
  int64_t unixMs = 0;
  int32_t utcOffsetMinutes = 0;
};

// Where the time of a try comes from: the system's clock, or a test's.
using WallClock = std::function<WallTime()>;
WallClock SystemWallClock();

// The local calendar day of `when`, counted from 1970-01-01.
int64_t LocalDay(const WallTime& when);
// "2024-05-01T18:03:12+02:00".
std::string IsoTime(const WallTime& when);
// "2024-05-01 18:03".
std::string ShortTime(const WallTime& when);
// "20240501-180312", for file names.
std::string CompactTime(const WallTime& when);
// Month and day of `when`, for a chart's axis.
int32_t LocalMonth(const WallTime& when);
int32_t LocalDayOfMonth(const WallTime& when);

}  // namespace history
