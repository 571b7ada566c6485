#include "playback/TimelineLayout.h"

#include <algorithm>

#include "notation/BeatTime.h"

const char kTooManyEventsMessage[] =
    "The score is too long to play: the timeline holds at most 60000 events.";
const char kTooLongInTimeMessage[] =
    "The score is too long to play: it lasts more than 2147483647 milliseconds.";

namespace {

// Walks the events of phrases [first, last) in layout order, phrases end to end, handing
// each (event, row, note index) to `visit`. Returns the message of the first time that does
// not fit 32 bits, else nullptr.
template <typename Visit>
const char* WalkLayout(const Score& score, int32_t first, int32_t last, Visit&& visit) {
  double offset = 0.0;
  for (int32_t row = first; row < last; ++row) {
    const Phrase& phrase = score.phrases[row];
    const int32_t msPerBeat = MsPerBeat(phrase);
    const int32_t n = phrase.noteCount;
    for (int32_t i = 0; i <= n; ++i) {
      const std::optional<int32_t> local = BeatsToMs(phrase.startTimes[i], msPerBeat);
      if (!local) return kTooLongInTimeMessage;
      const double time = *local + offset;
      if (!FitsInt32Ms(time)) return kTooLongInTimeMessage;
      visit(NoteEvent{phrase.pitches[i], static_cast<int32_t>(time)}, row, i);
    }
    offset += static_cast<double>(msPerBeat) * phrase.startTimes[n];
  }
  return nullptr;
}

}  // namespace

CTimelineLayout::CTimelineLayout()
    : sources_(new EventSource[kTimelineCapacity]), placed_(new Placed[kTimelineCapacity]) {}

const char* CTimelineLayout::Problem(const Score& score, int32_t first, int32_t last) {
  int64_t events = 0;
  for (int32_t row = first; row < last; ++row) events += score.phrases[row].noteCount + 1;
  if (events > kTimelineCapacity) return kTooManyEventsMessage;
  return WalkLayout(score, first, last, [](const NoteEvent&, int32_t, int32_t) {});
}

void CTimelineLayout::LayOut(const Score& score, int32_t first, int32_t last,
                             EventTimeline& timeline) {
  timeline.count = 0;
  // The timeline keeps equal times in insertion order, so sorting the sources by (time,
  // order of insertion) puts each beside its event. In place: nothing is allocated.
  int32_t placed = 0;
  WalkLayout(score, first, last, [&](const NoteEvent& event, int32_t row, int32_t note) {
    timeline.Insert(event);
    placed_[placed] = {event.timeMs, placed, {row, note}};
    ++placed;
  });
  std::sort(placed_.get(), placed_.get() + placed, [](const Placed& a, const Placed& b) {
    return a.timeMs != b.timeMs ? a.timeMs < b.timeMs : a.order < b.order;
  });
  for (int32_t k = 0; k < placed; ++k) sources_[k] = placed_[k].source;
}
