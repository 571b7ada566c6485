// The practice tempo: each phrase's written tempo scaled as the player loads a score (rounded
// to whole beats per minute, never below 1, a phrase without one counted as 120), so that the
// timeline follows.
#include <gtest/gtest.h>

#include "playback/Player.h"
#include "playback/PracticeTempo.h"
#include "playback/SilentPlatform.h"

namespace {

TEST(PracticeTempoTest, EachTempoIsScaledAndRounded) {
  const struct {
    int32_t tempo, percent, scaled;
  } cases[] = {
      {100, 50, 50},   {100, 200, 200}, {97, 50, 49},                   // 48.5 rounds up
      {90, 25, 23},    {1, 25, 1},      {999, 200, 1998}, {0, 50, 60},  // none: 120
      {120, 100, 120},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ScaledTempo(c.tempo, c.percent), c.scaled) << c.tempo << " at " << c.percent;
}

// The last event of the whole score's timeline: when the pass ends.
int32_t ScoreEndMs(int32_t percent, const char* text) {
  CSilentPlatform platform;
  CPlayer player(platform);
  player.SetTempoPercent(percent);
  {
    CPlayer::CBuildOnlyScope quietly(player);
    player.LoadAndPlay(text);
  }
  EXPECT_EQ(player.LoadedScore().phrases[1].tempo, ScaledTempo(60, percent));
  const EventTimeline& timeline = player.Timeline();
  return timeline.count > 0 ? timeline.events[timeline.count - 1].timeMs : -1;
}

TEST(PracticeTempoTest, TheTimelineFollowsTheTempoTheScoreWasLoadedAt) {
  const char text[] = "s=100,1,1,1,3|s=60,1,5,1,1";  // 1200 ms, then 2000 ms
  EXPECT_EQ(ScoreEndMs(100, text), 3200);
  EXPECT_EQ(ScoreEndMs(50, text), 6400);
  EXPECT_EQ(ScoreEndMs(200, text), 1600);
}

}  // namespace
