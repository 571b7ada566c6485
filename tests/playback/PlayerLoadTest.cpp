// Loading score text: the scratch check, the load and restore commands, the export load.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "notation/ScoreParseError.h"
#include "playback/Player.h"
#include "tests/playback/PlayerFixture.h"

namespace {

using Script = std::vector<std::string>;

// Everything a failed or empty load must leave as it was.
struct Snapshot {
  std::string scoreText;
  int32_t phraseCount;
  std::vector<NoteEvent> events;
  int32_t cursor, elapsedMs, timerRunning, playMode, phraseIndex, stepIndex, startTick;
};

class PlayerLoadTest : public PlayerFixture {
 protected:
  void SetUp() override {
    player.LoadBuiltInAtStartup();
    player.OnPlayAll();
    for (int i = 0; i < 50; ++i) Tick();  // playing, 500 ms into the pass
  }
  Snapshot Take() const {
    const Score& s = player.LoadedScore();
    const EventTimeline& t = player.Timeline();
    return {std::string(s.text, s.textLength),
            s.phraseCount,
            Events(),
            t.cursor,
            t.elapsedMs,
            player.TimerRunning(),
            player.Mode(),
            player.PhraseIndex(),
            player.StepIndex(),
            player.StartTick()};
  }
  void ExpectUnchanged(const Snapshot& a) const {
    const Snapshot b = Take();
    EXPECT_EQ(a.scoreText, b.scoreText);
    EXPECT_EQ(a.phraseCount, b.phraseCount);
    EXPECT_EQ(a.events, b.events);
    EXPECT_EQ(a.cursor, b.cursor);
    EXPECT_EQ(a.elapsedMs, b.elapsedMs);
    EXPECT_EQ(a.timerRunning, b.timerRunning);
    EXPECT_EQ(a.playMode, b.playMode);
    EXPECT_EQ(a.phraseIndex, b.phraseIndex);
    EXPECT_EQ(a.stepIndex, b.stepIndex);
    EXPECT_EQ(a.startTick, b.startTick);
  }
};

TEST_F(PlayerLoadTest, ABadTextShowsTheParsersMessageAndPlaybackGoesOn) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"1,8", "error tune 1111!"},
      {"1,1|2,1", "error timeing001!"},
      {"1,1,1", "error4"},
      {"do=H,1,1,1", "error tune"},
  };
  for (const auto& c : cases) {
    const Snapshot before = Take();
    const size_t from = platform.calls.size();
    platform.messages.clear();
    player.LoadAndPlay(c.text);
    EXPECT_EQ(platform.messages, std::vector<std::string>({c.message})) << c.text;
    EXPECT_EQ(platform.Script(from), Script({"message"})) << c.text;
    ExpectUnchanged(before);
  }
  const size_t from = platform.calls.size();
  TickUntil(FakePlatform::kSend);
  EXPECT_EQ(platform.NotesSince(from), std::vector<int32_t>({64})) << "the old score plays on";
}

TEST_F(PlayerLoadTest, ATextWithoutPhrasesDoesNothing) {
  for (const char* text : {"", "abc", "|", "||", "/* 1,1 */", "s=90, "}) {
    const Snapshot before = Take();
    const size_t from = platform.calls.size();
    player.LoadAndPlay(text);
    EXPECT_EQ(platform.calls.size(), from) << "'" << text << "'";
    ExpectUnchanged(before);
  }
}

TEST_F(PlayerLoadTest, AGoodTextReplacesTheScoreAndPlaysItAllFromTheStart) {
  player.OnPractice();
  player.OnPractice();
  player.OnPractice();  // practice on phrase 2, step 1
  ASSERT_EQ(player.PhraseIndex(), 2);
  const size_t from = platform.calls.size();
  player.LoadAndPlay("s=120,1,1,1,2|1,3");
  EXPECT_EQ(platform.Script(from), Script({"kill", "volume", "timer", "pass"}));
  EXPECT_EQ(Events(),
            std::vector<NoteEvent>({{60, 0}, {62, 500}, {-5000, 1000}, {64, 1000}, {-5000, 1500}}));
  EXPECT_EQ(player.LoadedScore().phraseCount, 2);
  EXPECT_EQ(player.Mode(), PlayAllMode);
  EXPECT_EQ(player.PhraseIndex(), 0);
  EXPECT_EQ(player.StepIndex(), 1) << "left to the exercise commands";
  TickWhileRunning(1000);
  EXPECT_EQ(platform.NotesSince(from), std::vector<int32_t>({60, 62, 64}));
}

TEST_F(PlayerLoadTest, WithAutoPlayOffTheExportTimelineIsBuiltAndTheTimerStopped) {
  const size_t from = platform.calls.size();
  {
    CPlayer::CBuildOnlyScope quietly(player);
    EXPECT_EQ(player.AutoPlay(), 0);
    player.LoadAndPlay("s=120,1,1,1,2");
  }
  EXPECT_EQ(player.AutoPlay(), 1);
  EXPECT_EQ(platform.Script(from), Script({"kill"}));
  EXPECT_EQ(player.TimerRunning(), 0);
  EXPECT_EQ(player.Mode(), PlayAllMode);
  EXPECT_EQ(player.Timeline().cursor, 0);
  EXPECT_EQ(player.Timeline().elapsedMs, 0);
  EXPECT_EQ(Events(), std::vector<NoteEvent>({{60, 0}, {62, 500}, {-5000, 1000}}));

  player.OnContinue();
  TickWhileRunning(1000);
  EXPECT_EQ(platform.NotesSince(from), std::vector<int32_t>({60, 62}));
}

TEST_F(PlayerLoadTest, AutoPlayComesBackOnWhenABuildOnlyScopeIsLeftByAnException) {
  try {
    CPlayer::CBuildOnlyScope quietly(player);
    player.LoadAndPlay("s=120,1,1");
    throw std::runtime_error("the export failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(player.AutoPlay(), 1);
  player.OnPlayAll();
  EXPECT_TRUE(player.Playing()) << "whole-score builds play again";
}

TEST_F(PlayerLoadTest, LoadTakesUpTo29999BytesWholeAndRefusesLongerTexts) {
  // 7500 one-beat notes in two phrases (a phrase holds at most 10000 numbers).
  std::string text = "1,1";
  for (int notes = 1; text.size() < kTextBufferSize - 1; ++notes)
    text += notes % 4000 ? ",1,1" : "|1,1";
  ASSERT_EQ(text.size(), 29999u);
  player.OnLoad(text);
  EXPECT_TRUE(platform.messages.empty()) << platform.messages.front();
  EXPECT_EQ(player.Timeline().count, 7500 + 2);
  EXPECT_EQ(player.Timeline().events[7500 + 1].timeMs, 7500 * 500);
  EXPECT_EQ(std::strlen(player.TextBuffer()), 29999u);

  const Snapshot before = Take();
  const size_t from = platform.calls.size();
  player.OnLoad(text + " ");
  EXPECT_EQ(platform.messages, std::vector<std::string>({kTextTooLongMessage}));
  EXPECT_EQ(platform.Script(from), Script({"message"}));
  EXPECT_EQ(std::strlen(player.TextBuffer()), 29999u) << "the buffer is not touched";
  ExpectUnchanged(before);
}

TEST_F(PlayerLoadTest, LoadOfAnEmptyTextDoesNothing) {
  const Snapshot before = Take();
  const size_t from = platform.calls.size();
  player.OnLoad("");
  EXPECT_EQ(platform.calls.size(), from);
  ExpectUnchanged(before);
}

TEST_F(PlayerLoadTest, RestorePlaysTheBuiltInScoreAndLeavesTheTextBufferAlone) {
  player.OnLoad("1,3");
  std::strcpy(player.TextBuffer(), "typed text");
  const size_t from = platform.calls.size();
  player.OnRestoreBuiltIn();
  EXPECT_EQ(platform.Script(from), Script({"kill", "volume", "timer", "pass"}));
  EXPECT_EQ(player.LoadedScore().phraseCount, 4);
  EXPECT_EQ(player.Timeline().count, 39);
  EXPECT_STREQ(player.TextBuffer(), "typed text");
}

// Counts the side texts it is handed; refuses them with `refusal` when one is set, as the
// side-file writer does when no folder takes the files.
class CountingSink : public SideTextSink {
 public:
  void WriteSideFiles(const SideTexts& texts) override {
    ++calls;
    first.assign(texts.sideText1, static_cast<size_t>(texts.sideText1Length));
    if (!refusal.empty()) throw ScoreParseError(refusal.c_str());
  }
  int calls = 0;
  std::string first;
  std::string refusal;
};

TEST_F(PlayerLoadTest, EachLoadParsesItsTextOnceAndHandsOnItsSideTextsOnce) {
  CountingSink sink;
  player.SetSideTextSink(&sink);
  struct Case {
    const char* text;
    int calls;  // side texts handed on by this load
    bool loads;
  };
  const Case cases[] = {
      {"1,1,1,2|1,3", 1, true},
      {"1,1,1,8", 0, false},  // a parse error: nothing to hand on
      {"s=90,1,5", 1, true},
  };
  for (const Case& c : cases) {
    const int before = sink.calls;
    const int32_t loads = player.LoadCount();
    player.OnLoad(c.text);
    EXPECT_EQ(sink.calls - before, c.calls) << c.text;
    EXPECT_EQ(player.LoadCount() - loads, c.loads ? 1 : 0) << c.text;
  }
  EXPECT_EQ(player.LoadedScore().phraseCount, 1);
  EXPECT_EQ(player.LoadedScore().phrases[0].tempo, 90)
      << "the last text that took is the one loaded";
  player.SetSideTextSink(nullptr);
}

TEST_F(PlayerLoadTest, SideFilesThatCannotBeWrittenRefuseTheLoadWithTheirMessage) {
  CountingSink sink;
  sink.refusal = "open fail!";
  player.SetSideTextSink(&sink);
  const Snapshot before = Take();
  player.OnLoad("1,1,1,2");
  EXPECT_EQ(sink.calls, 1);
  EXPECT_EQ(platform.messages, std::vector<std::string>({"open fail!"}));
  ExpectUnchanged(before);
  // The next load, once the files can be written, takes.
  sink.refusal.clear();
  player.OnLoad("1,1,1,2");
  EXPECT_EQ(sink.calls, 2);
  EXPECT_EQ(player.LoadedScore().phraseCount, 1);
  player.SetSideTextSink(nullptr);
}

}  // namespace
