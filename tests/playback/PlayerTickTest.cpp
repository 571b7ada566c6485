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
  EXPECT_EQ(player.timeline().elapsedMs, 20);
}

TEST_F(PlayerTickTest, LateTicksSendEverythingDueInTimelineOrder) {
  player.OnContinue();
  platform.nowMs += 1000;
  player.OnTimer(1);
  EXPECT_EQ(platform.NotesSince(), Notes({60, 62, 64, 65}));
  EXPECT_EQ(player.timeline().cursor, 4);
  EXPECT_EQ(player.timeline().elapsedMs, 1000);
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
  EXPECT_EQ(player.timeline().cursor, player.timeline().count);
  EXPECT_EQ(platform.NotesSince(), Notes({60, 62, 64, 65, 67, 69, 71, 72}));
  EXPECT_TRUE(platform.timerSet) << "the marker's tick does not end the pass";

  player.OnTimer(2);  // another timer's tick is not ours
  EXPECT_TRUE(platform.timerSet);

  const size_t from = platform.calls.size();
  Tick();
  // Start-up leaves practice mode: the cycle begins at step 0 with the reference note.
  EXPECT_EQ(platform.Script(from),
            Script({"kill", "volume", "note 60", "sleep 2000", "volume", "timer"}));
}

TEST_F(PlayerTickTest, PlayAllPlaysOnceStopsRewoundAndContinueReplaysFromTheStart) {
  player.OnPlayAll();
  EXPECT_EQ(platform.Script(), Script({"kill", "volume", "timer"}));
  TickWhileRunning(100000);
  EXPECT_EQ(platform.NotesSince(), kBuiltInNotes);
  EXPECT_EQ(platform.calls.back().kind, FakePlatform::kKillTimer);
  EXPECT_EQ(player.timerRunning, 0);
  EXPECT_EQ(player.timeline().cursor, 0);
  EXPECT_EQ(player.timeline().elapsedMs, 0);
  // The last note sounds for its full length: the stop comes 1 tick after 14100 ms.
  EXPECT_EQ(platform.calls.back().atMs - platform.calls[2].atMs, 14110);

  const size_t from = platform.calls.size();
  player.OnContinue();
  TickWhileRunning(100000);
  EXPECT_EQ(platform.NotesSince(from), kBuiltInNotes);
}

TEST_F(PlayerTickTest, RepeatWaitsHalfASecondRebuildsAndPlaysAgain) {
  player.OnRepeat();
  EXPECT_EQ(player.playMode, RepeatMode);
  const size_t kill = TickUntil(FakePlatform::kKillTimer);
  EXPECT_EQ(platform.NotesSince(), kBuiltInNotes);
  EXPECT_EQ(platform.Script(kill), Script({"kill", "sleep 500", "kill", "volume", "timer"}));
  EXPECT_EQ(player.playMode, RepeatMode);
  EXPECT_EQ(player.timerRunning, 1);
  EXPECT_EQ(player.timeline().count, 39);

  // Each pass is rebuilt from the Score: a change made to the timeline lasts one pass.
  player.timeline().events[0].pitch = 100;
  Notes changed = kBuiltInNotes;
  changed[0] = 100;
  const size_t second = platform.calls.size();
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
  EXPECT_EQ(player.timeline().elapsedMs, 1000);
  platform.nowMs += 7777;  // the user waits
  player.OnPause();        // a second pause changes nothing
  EXPECT_EQ(platform.calls.back().kind, FakePlatform::kKillTimer);

  const size_t from = platform.calls.size();
  player.OnContinue();
  EXPECT_EQ(platform.Script(from), Script({"volume", "timer"}));
  const int32_t resumedAt = platform.nowMs;
  player.OnContinue();  // while playing: nothing
  EXPECT_EQ(platform.calls.size(), from + 2);

  // The next note is due at 1200 ms of the pass: 200 ms after resuming, within a tick.
  const size_t sent = TickUntil(FakePlatform::kSend);
  EXPECT_EQ(platform.NotesSince(sent), Notes({67}));
  EXPECT_GE(platform.calls[sent].atMs - resumedAt, 200);
  EXPECT_LT(platform.calls[sent].atMs - resumedAt, 200 + kTimerPeriodMs);
}

TEST_F(PlayerTickTest, ASendFailureStopsPlaybackOnceAndContinueGoesOnAfterIt) {
  player.OnPlayAll();
  platform.failSendsFrom = 2;  // the third note (64, at 600 ms) fails
  TickWhileRunning(100000);
  EXPECT_EQ(platform.NotesSince(), Notes({60, 62}));
  EXPECT_EQ(platform.messages, std::vector<std::string>({"port gone"}));
  EXPECT_EQ(platform.Script().back(), "message");
  EXPECT_FALSE(platform.timerSet);
  EXPECT_EQ(player.timerRunning, 0);
  EXPECT_EQ(player.timeline().cursor, 3) << "the failed event is behind the cursor";

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
  EXPECT_EQ(player.timeline().events[0].pitch, 132);
  player.OnContinue();
  TickWhileRunning(1000);
  EXPECT_EQ(platform.NotesSince(), Notes({60}));
}

}  // namespace
