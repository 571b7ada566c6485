#include "history/WallClock.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace history {

namespace {

constexpr int64_t kMsPerDay = 86400000;

// The broken-down local time of `when`, from its own offset rather than today's time zone.
std::tm LocalFields(const WallTime& when) {
  const int64_t localMs = when.unixMs + int64_t{when.utcOffsetMinutes} * 60000;
  // Whole seconds rounded down, also before 1970.
  const std::time_t seconds =
      static_cast<std::time_t>(localMs >= 0 ? localMs / 1000 : -((-localMs + 999) / 1000));
  std::tm fields{};
  gmtime_r(&seconds, &fields);
  return fields;
}

}  // namespace

WallClock SystemWallClock() {
  return [] {
    const auto now = std::chrono::system_clock::now();
    WallTime when;
    when.unixMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    when.utcOffsetMinutes = static_cast<int32_t>(local.tm_gmtoff / 60);
    return when;
  };
}

int64_t LocalDay(const WallTime& when) {
  const int64_t localMs = when.unixMs + int64_t{when.utcOffsetMinutes} * 60000;
  return localMs >= 0 ? localMs / kMsPerDay : -((-localMs + kMsPerDay - 1) / kMsPerDay);
}

std::string IsoTime(const WallTime& when) {
  const std::tm t = LocalFields(when);
  const int32_t offset = when.utcOffsetMinutes < 0 ? -when.utcOffsetMinutes : when.utcOffsetMinutes;
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                when.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
  return text;
}

std::string ShortTime(const WallTime& when) {
  const std::tm t = LocalFields(when);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min);
  return text;
}

std::string CompactTime(const WallTime& when) {
  const std::tm t = LocalFields(when);
  char text[64];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

int32_t LocalMonth(const WallTime& when) { return LocalFields(when).tm_mon + 1; }
int32_t LocalDayOfMonth(const WallTime& when) { return LocalFields(when).tm_mday; }

}  // namespace history
