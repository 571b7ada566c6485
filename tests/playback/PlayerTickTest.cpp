// The timer tick, the end of a pass in each whole-score mode, pause and continue.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "playback/Player.h"
#include "tests/playback/PlayerFixture.h"

namespace {

using Script = std::vector<std::string>;
using Notes = std::vector<int32_t>;

const Notes kBuiltInNotes = {60, 62, 64, 65, 67, 69, 71, 72,                       // phrase 0
                             60, 64, 67, 64, 60,                                   // phrase 1
                             60, 64, 67, 64, 60, 64, 67, 64, 60,                   // phrase 2
                             72, 72, 67, 67, 64, 64, 60, 60, 67, 65, 64, 62, 60};  // phrase 3

class PlayerTickTest : public PlayerFixture {
 protected:
  void SetUp() override { player.LoadBuiltInAtStartup(); }
};

TEST_F(PlayerTickTest, NoteOnWordIsStatusKeyVelocityLowByteFirst) {
  player.OnContinue();
  Tick();
  ASSERT_EQ(platform.calls.back().kind, FakePlatform::kSend);
  EXPECT_EQ(platform.calls.back().value, 0x7F3C90);
  EXPECT_EQ(NoteOnMessage(60), 0x7F3C90u);
}

TEST_F(PlayerTickTest, ATickWithNothingDueReadsTheClockOnceAndDoesNothingElse) {
  player.OnContinue();
  Tick();  // sends the note at 0 ms; the next is due at 300 ms
  const size_t calls = platform.calls.size();
  const int64_t reads = platform.clockReads;
  Tick();
  EXPECT_EQ(platform.clockReads, reads + 1);
  EXPECT_EQ(platform.calls.size(), calls);
  EXPECT_EQ(player.Timeline().elapsedMs, 20);
}

TEST_F(PlayerTickTest, LateTicksSendEverythingDueInTimelineOrder) {
  player.OnContinue();
  platform.nowMs += 1000;
  player.OnTimer(1);
  EXPECT_EQ(platform.NotesSince(), Notes({60, 62, 64, 65}));
  EXPECT_EQ(player.Timeline().cursor, 4);
  EXPECT_EQ(player.Timeline().elapsedMs, 1000);
}

TEST_F(PlayerTickTest, RestsAndMarkersTakeTheirPlaceButSendNothing) {
  LoadQuietly("1,1,1,0,1,2");
  player.OnContinue();
  TickWhileRunning(1000);
  EXPECT_EQ(platform.NotesSince(), Notes({60, 62}));
}

TEST_F(PlayerTickTest, PassEndsOnTheTickAfterTheEndMarker) {
  player.OnContinue();  // phrase 0 at start-up; its end marker is at 2700 ms
  for (int i = 0; i < 270; ++i) Tick();
  EXPECT_EQ(player.Timeline().cursor, player.Timeline().count);
  EXPECT_EQ(platform.NotesSince(), Notes({60, 62, 64, 65, 67, 69, 71, 72}));
  EXPECT_TRUE(platform.timerSet) << "the marker's tick does not end the pass";

  player.OnTimer(2);  // another timer's tick is not ours
  EXPECT_TRUE(platform.timerSet);

  const size_t from = platform.calls.size();
  Tick();
  // Start-up leaves practice mode: the cycle begins at step 0 with the reference note, and
  // timer 1 runs through the wait.
  EXPECT_EQ(platform.Script(from), Script({"kill", "volume", "note 60", "wait 2000", "timer"}));
}

TEST_F(PlayerTickTest, PlayAllPlaysOnceStopsRewoundAndContinueReplaysFromTheStart) {
  player.OnPlayAll();
  EXPECT_EQ(platform.Script(), Script({"kill", "volume", "timer", "pass"}));
  TickWhileRunning(100000);
  EXPECT_EQ(platform.NotesSince(), kBuiltInNotes);
  EXPECT_EQ(platform.calls.back().kind, FakePlatform::kKillTimer);
  EXPECT_EQ(player.TimerRunning(), 0);
  EXPECT_EQ(player.Timeline().cursor, 0);
  EXPECT_EQ(player.Timeline().elapsedMs, 0);
  // The last note sounds for its full length: the stop comes 1 tick after 14100 ms.
  EXPECT_EQ(platform.calls.back().atMs - platform.calls[2].atMs, 14110);

  const size_t from = platform.calls.size();
  player.OnContinue();
  TickWhileRunning(100000);
  EXPECT_EQ(platform.NotesSince(from), kBuiltInNotes);
}

TEST_F(PlayerTickTest, RepeatWaitsHalfASecondRebuildsAndPlaysAgain) {
  player.OnRepeat();
  EXPECT_EQ(player.Mode(), RepeatMode);
  const size_t kill = TickUntil(FakePlatform::kKillTimer);
  EXPECT_EQ(platform.NotesSince(), kBuiltInNotes);
  // The wait runs on the timer: no sound for 500 ms, then the pass starts at its exact end.
  EXPECT_EQ(platform.Script(kill), Script({"kill", "kill", "wait 500", "timer"}));
  EXPECT_EQ(player.Mode(), RepeatMode);
  EXPECT_EQ(player.TimerRunning(), 1);
  EXPECT_EQ(player.Phase(), PlayerPhase::kRepeatWait);
  EXPECT_EQ(player.Timeline().count, 39);
  // Each pass is rebuilt from the Score: a change made to the timeline lasts one pass.
  player.TimelineForTest().events[0].pitch = 100;
  Notes changed = kBuiltInNotes;
  changed[0] = 100;
  const size_t second = platform.calls.size();
  const int32_t waitFrom = platform.calls[kill].atMs;
  const size_t pass = TickUntil(FakePlatform::kPass);
  EXPECT_EQ(platform.Script(kill + 4), Script({"volume", "pass", "note 100"}));
  EXPECT_EQ(platform.calls[pass].atMs - waitFrom, 500);
  EXPECT_EQ(platform.calls[pass + 1].dueMs, waitFrom + 500);
  TickUntil(FakePlatform::kKillTimer);
  EXPECT_EQ(platform.NotesSince(second), changed);
  const size_t third = platform.calls.size();
  TickUntil(FakePlatform::kKillTimer);
  EXPECT_EQ(platform.NotesSince(third), kBuiltInNotes);
}

TEST_F(PlayerTickTest, PauseAndContinueResumeWithinOneTick) {
  player.OnPlayAll();
  for (int i = 0; i < 100; ++i) Tick();  // 1000 ms into the pass
  EXPECT_EQ(platform.NotesSince(), Notes({60, 62, 64, 65}));

  player.OnPause();
  EXPECT_EQ(platform.calls.back().kind, FakePlatform::kKillTimer);
  EXPECT_EQ(player.Timeline().elapsedMs, 1000);
  platform.nowMs += 7777;  // the user waits
  player.OnPause();        // a second pause changes nothing
  EXPECT_EQ(platform.calls.back().kind, FakePlatform::kKillTimer);

  const size_t from = platform.calls.size();
  player.OnContinue();
  EXPECT_EQ(platform.Script(from), Script({"volume", "timer"}));
  const int32_t resumedAt = platform.nowMs;
  const int32_t startTick = player.StartTick();
  player.OnContinue();  // while playing: nothing
  EXPECT_EQ(platform.calls.size(), from + 2);

  // The next note is due at 1200 ms of the pass: 200 ms after resuming, within a tick.
  const size_t sent = TickUntil(FakePlatform::kSend);
  EXPECT_EQ(platform.NotesSince(sent), Notes({67}));
  EXPECT_GE(platform.calls[sent].atMs - resumedAt, 200);
  EXPECT_LT(platform.calls[sent].atMs - resumedAt, 200 + kTimerPeriodMs);
  EXPECT_EQ(platform.calls[sent].dueMs, startTick + 1200) << "due on the resumed pass's clock";
}

TEST_F(PlayerTickTest, ASendFailureStopsPlaybackOnceAndContinueGoesOnAfterIt) {
  player.OnPlayAll();
  platform.failSendsFrom = 2;  // the third note (64, at 600 ms) fails
  TickWhileRunning(100000);
  EXPECT_EQ(platform.NotesSince(), Notes({60, 62}));
  EXPECT_EQ(platform.messages, std::vector<std::string>({"port gone"}));
  EXPECT_EQ(platform.Script().back(), "message");
  EXPECT_FALSE(platform.timerSet);
  EXPECT_EQ(player.TimerRunning(), 0);
  EXPECT_EQ(player.Timeline().cursor, 3) << "the failed event is behind the cursor";

  platform.failSendsFrom = -1;
  const size_t from = platform.calls.size();
  player.OnContinue();
  const size_t sent = TickUntil(FakePlatform::kSend);
  EXPECT_EQ(platform.NotesSince(sent), Notes({65}));
  EXPECT_EQ(platform.calls.size(), sent + 1);
  EXPECT_GT(sent, from);
}

TEST_F(PlayerTickTest, KeysAbove127AreNeverSent) {
  LoadQuietly("1,1000000,1,1");  // 132, then 60
  EXPECT_EQ(player.Timeline().events[0].pitch, 132);
  player.OnContinue();
  TickWhileRunning(1000);
  EXPECT_EQ(platform.NotesSince(), Notes({60}));
}

}  // namespace

namespace {

TEST_F(PlayerTickTest, LateTicksStillGiveEachNoteItsExactDueTime) {
  // Ticks 9 ms late (19 ms apart) and one very late: every note keeps startTick + timeMs.
  player.OnPlayAll();
  const int32_t start = player.StartTick();
  for (int i = 0; i < 2000 && platform.timerSet; ++i) {
    platform.nowMs += i == 100 ? 233 : kTimerPeriodMs + 9;
    player.OnTimer(1);
  }
  const std::vector<NoteEvent> events(player.Timeline().events.get(),
                                      player.Timeline().events.get() + player.Timeline().count);
  std::vector<int32_t> expectedDue;
  for (const NoteEvent& e : events)
    if (e.pitch > 0) expectedDue.push_back(start + e.timeMs);
  std::vector<int32_t> due;
  for (const FakePlatform::Call& c : platform.calls)
    if (c.kind == FakePlatform::kSend) {
      due.push_back(c.dueMs);
      EXPECT_GE(c.atMs, c.dueMs) << "never sent before it is due";
    }
  EXPECT_EQ(due, expectedDue);
}

TEST_F(PlayerTickTest, NotesAreHeardAtTheirDueTimePlusTheOutputLatency) {
  platform.latencyMs = 30;
  player.OnPlayAll();
  const int32_t start = player.StartTick();
  TickWhileRunning(100000);
  std::vector<int32_t> notes;
  for (const FakePlatform::Heard& h : platform.heard) {
    if (h.notification.kind != PlayerNotification::kNote) continue;
    notes.push_back(h.notification.pitch);
    EXPECT_EQ(h.notification.atMs, start + h.notification.passTimeMs + 30);
    // Told on the first tick at or after the moment it is heard, never before.
    EXPECT_GE(h.atMs, h.notification.atMs);
    EXPECT_LT(h.atMs, h.notification.atMs + kTimerPeriodMs);
  }
  EXPECT_EQ(notes, kBuiltInNotes);
}

TEST_F(PlayerTickTest, NotesNameTheirPhraseAndNoteIndexAndRestsAreIncluded) {
  LoadQuietly("1,1,1,0,1,2|0,3,1,5");  // a rest in phrase 0, a chord in phrase 1
  player.OnPlayAll();
  TickWhileRunning(100000);
  struct Seen {
    int32_t row, note, pitch;
    bool operator==(const Seen& o) const {
      return row == o.row && note == o.note && pitch == o.pitch;
    }
  };
  std::vector<Seen> seen;
  for (const FakePlatform::Heard& h : platform.heard)
    if (h.notification.kind == PlayerNotification::kNote)
      seen.push_back({h.notification.row, h.notification.note, h.notification.pitch});
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen[0], (Seen{0, 0, 60}));
  EXPECT_EQ(seen[1].row, 0);
  EXPECT_EQ(seen[1].note, 1);
  EXPECT_LE(seen[1].pitch, 0) << "the rest is told too";
  EXPECT_EQ(seen[2], (Seen{0, 2, 62}));
  EXPECT_EQ(seen[3].row, 1);
  EXPECT_EQ(seen[4].row, 1);
  EXPECT_NE(seen[3].note, seen[4].note) << "both notes of the chord";
}

}  // namespace
