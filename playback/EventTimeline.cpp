#include "playback/EventTimeline.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

static_assert(std::is_trivially_copyable<NoteEvent>::value, "events are moved with memmove");

TimelineFullError::TimelineFullError()
    : std::runtime_error(
          "The score is too long to play: the timeline holds at most 60000 events.") {}

EventTimeline::EventTimeline()
    : events(new NoteEvent[kTimelineCapacity]), capacity(kTimelineCapacity) {}

void EventTimeline::Insert(const NoteEvent& event) {
  if (count >= capacity) throw TimelineFullError();
  const NoteEvent copy = event;  // `event` may be one of our own slots
  NoteEvent* const begin = events.get();
  NoteEvent* const end = begin + count;

  // In-order arrivals (the common case) cost one comparison; otherwise find the first
  // stored event that is later, so equal times keep their insertion order.
  NoteEvent* slot = end;
  if (count > 0 && copy.timeMs < end[-1].timeMs) {
    slot = std::upper_bound(begin, end, copy.timeMs,
                            [](int32_t time, const NoteEvent& e) { return time < e.timeMs; });
    std::memmove(slot + 1, slot, static_cast<size_t>(end - slot) * sizeof(NoteEvent));
  }
  *slot = copy;
  ++count;
}

void EventTimeline::Release() {
  events.reset();
  capacity = 0;
  count = 0;
  cursor = 0;
  elapsedMs = 0;
}
