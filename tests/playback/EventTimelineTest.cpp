#include <gtest/gtest.h>

#include <vector>

#include "playback/EventTimeline.h"
#include "tests/playback/PlayerFixture.h"

namespace {

std::vector<NoteEvent> Contents(const EventTimeline& t) {
  return std::vector<NoteEvent>(t.events.get(), t.events.get() + t.count);
}

struct InsertCase {
  const char* name;
  std::vector<NoteEvent> before;
  NoteEvent inserted;
  std::vector<NoteEvent> after;
};

TEST(EventTimeline, StartsEmptyWithAllSlotsZero) {
  EventTimeline t;
  EXPECT_EQ(t.capacity, kTimelineCapacity);
  EXPECT_EQ(t.count, 0);
  EXPECT_EQ(t.cursor, 0);
  EXPECT_EQ(t.elapsedMs, 0);
  EXPECT_EQ(t.events[0], NoteEvent({0, 0}));
  EXPECT_EQ(t.events[kTimelineCapacity - 1], NoteEvent({0, 0}));
}

TEST(EventTimeline, InsertKeepsTimeOrderAndEqualTimesInInsertionOrder) {
  const InsertCase cases[] = {
      {"into empty", {}, {60, 500}, {{60, 500}}},
      {"equal time goes after the stored one",
       {{62, 0}, {64, 500}, {65, 1000}},
       {60, 500},
       {{62, 0}, {64, 500}, {60, 500}, {65, 1000}}},
      {"after several equal times",
       {{62, 0}, {64, 0}, {65, 0}, {67, 10}},
       {60, 0},
       {{62, 0}, {64, 0}, {65, 0}, {60, 0}, {67, 10}}},
      {"earlier than all shifts everything up",
       {{62, 100}, {64, 200}},
       {60, 50},
       {{60, 50}, {62, 100}, {64, 200}}},
      {"later than all appends", {{62, 100}}, {60, 300}, {{62, 100}, {60, 300}}},
      {"silent events are ordered by time alone",
       {{-5000, 100}, {-10000, 200}},
       {-5000, 200},
       {{-5000, 100}, {-10000, 200}, {-5000, 200}}},
  };
  for (const InsertCase& c : cases) {
    EventTimeline t;
    for (const NoteEvent& e : c.before) t.Insert(e);
    t.Insert(c.inserted);
    EXPECT_EQ(Contents(t), c.after) << c.name;
  }
}

TEST(EventTimeline, InsertingASlotOfItsOwnIsSafe) {
  EventTimeline t;
  t.Insert({62, 100});
  t.Insert({64, 200});
  t.Insert(t.events[1]);  // a reference into the array that the insertion shifts
  EXPECT_EQ(Contents(t), std::vector<NoteEvent>({{62, 100}, {64, 200}, {64, 200}}));
}

TEST(EventTimeline, EmptyingLeavesCursorAndElapsedTimeAlone) {
  EventTimeline t;
  t.Insert({60, 0});
  t.Insert({62, 10});
  t.cursor = 2;
  t.elapsedMs = 15;
  t.count = 0;
  t.Insert({64, 5});
  EXPECT_EQ(Contents(t), std::vector<NoteEvent>({{64, 5}}));
  EXPECT_EQ(t.cursor, 2);
  EXPECT_EQ(t.elapsedMs, 15);
}

TEST(EventTimeline, AFullTimelineRefusesTheNextEventAndWritesNothing) {
  EventTimeline t;
  for (int32_t i = 0; i < kTimelineCapacity; ++i) t.Insert({60, i});
  EXPECT_THROW(t.Insert({61, 0}), TimelineFullError);
  EXPECT_EQ(t.count, kTimelineCapacity);
  EXPECT_EQ(t.events[0], NoteEvent({60, 0}));
  EXPECT_EQ(t.events[kTimelineCapacity - 1], NoteEvent({60, kTimelineCapacity - 1}));
}

TEST(EventTimeline, ReleasedTimelineRefusesInsertsInsteadOfWritingFreedMemory) {
  EventTimeline t;
  t.Insert({60, 0});
  t.Release();
  EXPECT_EQ(t.events, nullptr);
  EXPECT_EQ(t.count, 0);
  EXPECT_THROW(t.Insert({60, 0}), TimelineFullError);
}

}  // namespace
