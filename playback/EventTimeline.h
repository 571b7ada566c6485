#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>

constexpr int32_t kTimelineCapacity = 60000;

// One scheduled note: a MIDI key (silent when <= 0) and its start in ms from the pass start.
struct NoteEvent {
  int32_t pitch = 0;
  int32_t timeMs = 0;
};

// Raised by Insert when the timeline is full; nothing is written past the capacity.
class TimelineFullError : public std::runtime_error {
 public:
  TimelineFullError();
};

// The time-sorted schedule the player walks. Allocated once, refilled in place.
struct EventTimeline {
  std::unique_ptr<NoteEvent[]> events;
  int32_t capacity = 0;
  int32_t count = 0;
  int32_t cursor = 0;
  int32_t elapsedMs = 0;

  EventTimeline();
  // Stable insertion into time order, searching from the end. Throws TimelineFullError.
  void Insert(const NoteEvent& event);
  void Release();
};
