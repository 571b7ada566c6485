// Laying phrases out into the timeline, and the player's refusals of what does not fit.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "playback/Player.h"
#include "tests/playback/PlayerFixture.h"

namespace {

using EventList = std::vector<NoteEvent>;

// The built-in score's phrases as laid out alone (tempo 100: 600 ms per beat).
const EventList kPhrase0 = {{60, 0},    {62, 300},  {64, 600},  {65, 900},    {67, 1200},
                            {69, 1500}, {71, 1800}, {72, 2100}, {-5000, 2700}};
const EventList kPhrase1 = {{60, 0}, {64, 300}, {67, 600}, {64, 900}, {60, 1200}, {-5000, 1800}};

class PlayerTimelineTest : public PlayerFixture {};

TEST_F(PlayerTimelineTest, StartUpLaysOutTheFirstPhraseSilently) {
  player.LoadBuiltInAtStartup();
  EXPECT_EQ(player.ScoreForTest().phraseCount, 4);
  EXPECT_EQ(Events(), kPhrase0);
  EXPECT_TRUE(platform.calls.empty()) << "no timer, no sound at start-up";
  EXPECT_EQ(player.TimerRunning(), 0);
  EXPECT_EQ(player.Mode(), PracticeMode);
  EXPECT_EQ(player.StepIndex(), 0);
  EXPECT_EQ(player.PhraseIndex(), 0);
  EXPECT_EQ(player.Timeline().cursor, 0);
  EXPECT_EQ(player.Timeline().elapsedMs, 0);
}

TEST_F(PlayerTimelineTest, PhraseTimelineSetsOnlyTheTimelineAndPhraseIndex) {
  player.LoadBuiltInAtStartup();
  EventTimeline& t = player.TimelineForTest();
  t.cursor = 3;
  t.elapsedMs = 777;
  player.BuildPhraseTimeline(1);
  EXPECT_EQ(Events(), kPhrase1);
  EXPECT_EQ(player.PhraseIndex(), 1);
  EXPECT_EQ(t.cursor, 3) << "callers rewind";
  EXPECT_EQ(t.elapsedMs, 777);
  EXPECT_EQ(player.StepIndex(), 0);
  EXPECT_TRUE(platform.calls.empty());

  player.BuildPhraseTimeline(4);  // no such phrase: nothing at all
  player.BuildPhraseTimeline(-1);
  EXPECT_EQ(Events(), kPhrase1);
  EXPECT_EQ(player.PhraseIndex(), 1);
}

TEST_F(PlayerTimelineTest, ScoreTimelineLaysPhrasesEndToEnd) {
  player.LoadBuiltInAtStartup();
  {
    CPlayer::CBuildOnlyScope quietly(player);
    player.BuildScoreTimeline();
  }
  const EventList all = Events();
  ASSERT_EQ(all.size(), 39u);
  EXPECT_EQ(EventList(all.begin(), all.begin() + 9), kPhrase0);
  const EventList second = {{60, 2700}, {64, 3000}, {67, 3300},
                            {64, 3600}, {60, 3900}, {-5000, 4500}};
  EXPECT_EQ(EventList(all.begin() + 9, all.begin() + 15), second);
  EXPECT_EQ(all.back(), NoteEvent({-5000, 14100}));
  EXPECT_EQ(player.Mode(), PlayAllMode);
  EXPECT_EQ(platform.Script(), std::vector<std::string>({"kill"})) << "built, not started";
}

TEST_F(PlayerTimelineTest, EachPhraseKeepsItsTempoAndTheOffsetKeepsItsFraction) {
  // Tempo 7: 8571 ms per beat, so each half-beat phrase lasts 4285.5 ms. The running
  // offset keeps the half; truncating it each time would put the third phrase at 8570.
  LoadQuietly("s=7,0.1,1|0.1,1|0.1,1");
  EXPECT_EQ(
      Events(),
      EventList({{60, 0}, {-5000, 4285}, {60, 4285}, {-5000, 8570}, {60, 8571}, {-5000, 12856}}));

  LoadQuietly("s=120,1,1|s=60,1,1|1,1");
  EXPECT_EQ(
      Events(),
      EventList({{60, 0}, {-5000, 500}, {60, 500}, {-5000, 1500}, {60, 1500}, {-5000, 2500}}));
}

TEST_F(PlayerTimelineTest, ChordsAndVoicesKeepThePhrasesOrderOnEqualTimes) {
  LoadQuietly("0,1,0,3,1,5");
  EXPECT_EQ(Events(), EventList({{60, 0}, {64, 0}, {67, 0}, {-5000, 500}}));

  // The second voice's notes fall among the first voice's and go after them on ties.
  LoadQuietly("1,1,1,2 &1,5,1,6");
  EXPECT_EQ(Events(), EventList({{60, 0}, {67, 0}, {62, 500}, {69, 500}, {-5000, 1000}}));
}

// A Score filled directly, beyond what the parser ever produces.
void FillPhrase(Phrase& phrase, int32_t notes, double beatsEach, int32_t tempo) {
  phrase.noteCount = notes;
  phrase.pitches.reset(new int32_t[notes + 1]);
  phrase.startTimes.reset(new double[notes + 1]);
  for (int32_t i = 0; i <= notes; ++i) {
    phrase.pitches[i] = i < notes ? 60 : kPhraseEndPitch;
    phrase.startTimes[i] = i * beatsEach;
  }
  phrase.tempo = tempo;
}

TEST_F(PlayerTimelineTest, AScoreThatFillsTheTimelineExactlyIsLaidOut) {
  FillPhrase(player.ScoreForTest().phrases[0], kTimelineCapacity - 1, 0.01, 120);
  player.ScoreForTest().phraseCount = 1;
  player.OnPlayAll();
  EXPECT_EQ(player.Timeline().count, kTimelineCapacity);
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(player.TimerRunning(), 1);
}

TEST_F(PlayerTimelineTest, AScoreBeyondTheTimelineIsRefusedAndPlaybackStops) {
  player.LoadBuiltInAtStartup();
  player.OnPlayAll();
  for (int i = 0; i < 20; ++i) Tick();
  FillPhrase(player.ScoreForTest().phrases[0], kTimelineCapacity, 0.01, 120);
  platform.calls.clear();

  player.OnPlayAll();
  EXPECT_EQ(platform.messages, std::vector<std::string>({kTooManyEventsMessage}));
  EXPECT_EQ(player.TimerRunning(), 0);
  EXPECT_FALSE(platform.timerSet);
  EXPECT_EQ(player.Timeline().count, 0);
  EXPECT_EQ(player.Timeline().cursor, 0);
  EXPECT_EQ(platform.NotesSince().size(), 0u);

  platform.messages.clear();
  const int32_t before = player.PhraseIndex();
  player.BuildPhraseTimeline(0);
  EXPECT_EQ(platform.messages, std::vector<std::string>({kTooManyEventsMessage}));
  EXPECT_EQ(player.PhraseIndex(), before);
}

TEST_F(PlayerTimelineTest, TimesBeyond32BitsAreRefused) {
  // Each phrase alone fits (1.2e9 ms), but laid end to end the second ends at 2.4e9.
  FillPhrase(player.ScoreForTest().phrases[0], 1, 20000, 1);
  FillPhrase(player.ScoreForTest().phrases[1], 1, 20000, 1);
  player.ScoreForTest().phraseCount = 2;
  player.BuildPhraseTimeline(1);
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(Events(), EventList({{60, 0}, {-5000, 1200000000}}));

  player.OnPlayAll();
  EXPECT_EQ(platform.messages, std::vector<std::string>({kTooLongInTimeMessage}));
  EXPECT_EQ(player.Timeline().count, 0);
  EXPECT_EQ(player.TimerRunning(), 0);
}

}  // namespace
