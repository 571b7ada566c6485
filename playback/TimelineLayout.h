#pragma once

#include <cstdint>
#include <memory>

#include "notation/Score.h"
#include "playback/EventTimeline.h"

// Shown when a score would not fit the timeline: too many events, or times beyond 32 bits.
extern const char kTooManyEventsMessage[];
extern const char kTooLongInTimeMessage[];

// Lays phrases of a Score end to end into an EventTimeline and remembers which phrase and
// note each event came from. Every phrase keeps its own tempo; times within a phrase are
// truncated to whole milliseconds, the running offset is kept in double precision. Its tables
// are reserved once: a layout allocates nothing.
class CTimelineLayout {
 public:
  CTimelineLayout();

  // Why phrases [first, last) of `score` cannot be laid out, or nullptr when they fit.
  static const char* Problem(const Score& score, int32_t first, int32_t last);

  // Refills `timeline` with phrases [first, last) of `score`, which must fit (Problem() is
  // nullptr); the cursor and elapsed time are left to the caller.
  void LayOut(const Score& score, int32_t first, int32_t last, EventTimeline& timeline);

  // The phrase and note index event k of the last layout came from.
  int32_t EventRow(int32_t k) const { return sources_[k].row; }
  int32_t EventNote(int32_t k) const { return sources_[k].note; }

 private:
  struct EventSource {
    int32_t row;
    int32_t note;
  };
  struct Placed {
    int32_t timeMs;
    int32_t order;
    EventSource source;
  };

  std::unique_ptr<EventSource[]> sources_;
  std::unique_ptr<Placed[]> placed_;  // LayOut's working array
};
