// The sing-back mode: each phrase plays, the cue sounds, the learner sings it back while the
// player listens in silence; a passed take or the third try moves on to the next phrase.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "playback/Player.h"
#include "tests/playback/PlayerFixture.h"

namespace {

using Script = std::vector<std::string>;
using Notes = std::vector<int32_t>;

const Notes kPhrase0 = {60, 62, 64, 65, 67, 69, 71, 72};
const Notes kPhrase1 = {60, 64, 67, 64, 60};

// An ear that hears what the test says it heard: the first `unheardTakes` finished takes are
// too quiet to judge, then each gets the next verdict of `verdicts` (a miss once they run out).
// Every call is logged with the clock reading.
class FakeEar : public PlayerEar {
 public:
  explicit FakeEar(const FakePlatform& platform) : platform_(platform) {}

  struct Call {
    std::string what;  // "start", "finish", "cancel"
    int32_t atMs;
    int32_t row;
    int32_t lengthMs;
  };

  void StartTake(int32_t row, int32_t lengthMs) override {
    calls.push_back({"start", platform_.nowMs, row, lengthMs});
  }
  TakeVerdict FinishTake() override {
    calls.push_back({"finish", platform_.nowMs, -1, 0});
    TakeVerdict verdict;
    if (lostTakes > 0) {
      --lostTakes;
      verdict.heard = false;
      verdict.inputLost = true;
      return verdict;
    }
    if (unheardTakes > 0) {
      --unheardTakes;
      verdict.heard = false;
      return verdict;
    }
    verdict.judged = 8;
    if (!verdicts.empty()) {
      verdict.passed = verdicts.front();
      verdicts.pop_front();
    }
    verdict.hits = verdict.passed ? 8 : 2;
    return verdict;
  }
  void CancelTake() override { calls.push_back({"cancel", platform_.nowMs, -1, 0}); }

  std::vector<std::string> Whats() const {
    std::vector<std::string> out;
    for (const Call& c : calls) out.push_back(c.what);
    return out;
  }

  std::deque<bool> verdicts;
  int32_t unheardTakes = 0;
  int32_t lostTakes = 0;  // before the unheard ones: the input stopped sending
  std::vector<Call> calls;

 private:
  const FakePlatform& platform_;
};

class PlayerSingBackTest : public PlayerFixture {
 protected:
  void SetUp() override {
    player.LoadBuiltInAtStartup();
    player.SetEar(&ear);
    platform.cueLengthMs = 700;
    platform.calls.clear();
  }

  // The length of the phrase laid out now: its end marker's time.
  int32_t PhraseMs() const {
    const EventTimeline& t = player.Timeline();
    return t.events[t.count - 1].timeMs;
  }

  // Ticks until the current take has been judged; returns the call index of "judged".
  size_t RunTry() { return TickUntil(FakePlatform::kJudged); }

  FakeEar ear{platform};
};

TEST_F(PlayerSingBackTest, PassCueSilentTakeThenTheNextPhraseAtTheTakesExactEnd) {
  ear.verdicts = {true};
  player.OnSingBack();
  const int32_t phraseMs = PhraseMs();
  EXPECT_EQ(player.Mode(), SingBackMode);
  const size_t listen = TickUntil(FakePlatform::kListen);
  const size_t judged = RunTry();
  TickUntil(FakePlatform::kListen);  // phrase 1's pass is over

  Script expected = {"volume", "timer", "pass"};
  for (int32_t key : kPhrase0) expected.push_back("note " + std::to_string(key));
  expected.insert(expected.end(), {"cue", "listen " + std::to_string(phraseMs + 300), "judged pass",
                                   "volume", "pass"});
  for (int32_t key : kPhrase1) expected.push_back("note " + std::to_string(key));
  Script script = platform.Script();
  ASSERT_GE(script.size(), expected.size());
  script.resize(expected.size());
  EXPECT_EQ(script, expected);
  EXPECT_EQ(platform.NotesSince(listen), platform.NotesSince(judged))
      << "nothing sounds while the learner sings";

  // The take starts as the cue ends and lasts the phrase and its grace; the next pass
  // starts where the take ends.
  const int32_t cueAt = platform.calls[listen - 1].atMs;
  ASSERT_EQ(ear.Whats(), std::vector<std::string>({"start", "finish", "start"}));
  EXPECT_EQ(ear.calls[0].atMs, cueAt + 700);
  EXPECT_EQ(ear.calls[0].row, 0);
  EXPECT_EQ(ear.calls[0].lengthMs, phraseMs + kListenGraceMs);
  EXPECT_EQ(ear.calls[1].atMs, cueAt + 700 + phraseMs + kListenGraceMs);
  EXPECT_EQ(player.PhraseIndex(), 1);
  EXPECT_EQ(player.StartTick(), ear.calls[1].atMs);
  EXPECT_EQ(player.Position().pass, 1);
}

TEST_F(PlayerSingBackTest, AMissedTakeReplaysThePhraseUpToTheThirdTry) {
  struct Case {
    std::deque<bool> verdicts;
    int32_t tries;  // of phrase 0
    bool passed;
  };
  const Case cases[] = {
      {{true}, 1, true},
      {{false, true}, 2, true},
      {{false, false, true}, 3, true},
      {{false, false, false, true}, 3, false},  // the fourth verdict belongs to phrase 1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tries);
    player.OnPause();
    ear.verdicts = c.verdicts;
    ear.calls.clear();
    player.OnSingBack();
    platform.calls.clear();
    Script judged;
    for (int32_t i = 0; i < c.tries; ++i) {
      EXPECT_EQ(player.PhraseIndex(), 0);
      EXPECT_EQ(player.Position().pass, i + 1);
      EXPECT_EQ(player.Position().passCount, kSingBackTries);
      judged.push_back(platform.Script(RunTry()).front());
    }
    EXPECT_EQ(judged.back(), c.passed ? "judged pass" : "judged miss");
    // Each try plays the phrase before its cue; the next phrase starts as the last take ends.
    Notes expected;
    for (int32_t i = 0; i < c.tries; ++i)
      expected.insert(expected.end(), kPhrase0.begin(), kPhrase0.end());
    expected.push_back(kPhrase1.front());
    EXPECT_EQ(platform.NotesSince(), expected);
    EXPECT_EQ(player.PhraseIndex(), 1) << "the next phrase follows";
    EXPECT_EQ(player.Position().pass, 1);
    ASSERT_EQ(player.SingBackResults().size(), 4u);
    EXPECT_EQ(player.SingBackResults()[0].tries, c.tries);
    EXPECT_EQ(player.SingBackResults()[0].passed, c.passed);
    EXPECT_EQ(player.SingBackResults()[0].hits, c.passed ? 8 : 2);
    EXPECT_EQ(player.SingBackResults()[1].tries, 0) << "not reached yet";
  }
}

TEST_F(PlayerSingBackTest, ATakeTooQuietToJudgeIsSungAgainWithoutUsingATry) {
  ear.unheardTakes = 2;
  ear.verdicts = {false, false, false};
  player.OnSingBack();
  const int32_t passes[] = {1, 1, 1, 2, 3};  // the try each take was, in order
  for (int32_t pass : passes) {
    EXPECT_EQ(player.PhraseIndex(), 0);
    EXPECT_EQ(player.Position().pass, pass);
    RunTry();
  }
  EXPECT_EQ(player.PhraseIndex(), 1) << "three judged misses move on";
  EXPECT_EQ(player.SingBackResults()[0].tries, 3);
  EXPECT_FALSE(player.SingBackResults()[0].passed);
}

TEST_F(PlayerSingBackTest, AfterTheLastPhrasePlaybackStopsWithASummaryPerPhrase) {
  // Phrase 0 at once, phrase 1 never, phrase 2 at the second try, phrase 3 at once.
  ear.verdicts = {true, false, false, false, false, true, true};
  player.OnSingBack();
  TickWhileRunning(100000);
  EXPECT_FALSE(player.Playing());
  EXPECT_EQ(player.Phase(), PlayerPhase::kPass);
  const std::vector<SingBackResult>& results = player.SingBackResults();
  ASSERT_EQ(results.size(), 4u);
  const int32_t tries[] = {1, 3, 2, 1};
  const bool passed[] = {true, false, true, true};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(results[i].tries, tries[i]) << i;
    EXPECT_EQ(results[i].passed, passed[i]) << i;
    EXPECT_EQ(results[i].judged, 8) << i;
  }
  EXPECT_EQ(platform.heard.back().notification.kind, PlayerNotification::kStopped);
  EXPECT_EQ(ear.Whats().size(), 14u) << "seven takes, each started and finished, none dropped";

  // Continue after the end resumes nothing: no cue, no further take of the last phrase.
  EXPECT_TRUE(player.SingBackOver());
  platform.calls.clear();
  player.OnContinue();
  TickWhileRunning(100000);
  EXPECT_FALSE(player.Playing());
  EXPECT_TRUE(platform.calls.empty());
  EXPECT_EQ(ear.Whats().size(), 14u);
  EXPECT_EQ(player.SingBackResults()[3].tries, 1);
}

TEST_F(PlayerSingBackTest, OnePhraseAloneStopsAfterItsTries) {
  ear.verdicts = {false, true};
  player.OnSingBack(2);
  EXPECT_EQ(player.PhraseIndex(), 2);
  TickWhileRunning(100000);
  EXPECT_FALSE(player.Playing());
  const std::vector<SingBackResult>& results = player.SingBackResults();
  ASSERT_EQ(results.size(), 4u);
  EXPECT_EQ(results[2].tries, 2);
  EXPECT_TRUE(results[2].passed);
  EXPECT_EQ(results[0].tries + results[1].tries + results[3].tries, 0);
  EXPECT_EQ(ear.calls[0].row, 2);
}

TEST_F(PlayerSingBackTest, PauseDuringATakeDropsItAndContinueCuesTheSameTryAfresh) {
  ear.verdicts = {true};
  player.OnSingBack();
  TickUntil(FakePlatform::kListen);
  for (int i = 0; i < 50; ++i) Tick();
  ASSERT_EQ(player.Phase(), PlayerPhase::kListening);
  size_t from = platform.calls.size();
  player.OnPause();
  EXPECT_EQ(platform.Script(from), Script({"kill"}));
  EXPECT_EQ(ear.Whats(), std::vector<std::string>({"start", "cancel"}));
  EXPECT_FALSE(player.Playing());

  platform.nowMs += 30000;
  from = platform.calls.size();
  player.OnContinue();
  const int32_t resumed = platform.nowMs;
  EXPECT_EQ(platform.Script(from), Script({"volume", "cue", "timer"}));
  EXPECT_EQ(player.Phase(), PlayerPhase::kCue);
  RunTry();
  EXPECT_EQ(ear.Whats(), std::vector<std::string>({"start", "cancel", "start", "finish"}));
  EXPECT_EQ(ear.calls[2].atMs, resumed + 700) << "the whole cue, then the whole take";
  EXPECT_EQ(player.SingBackResults()[0].tries, 1) << "a dropped take is no try";
  EXPECT_EQ(player.PhraseIndex(), 1);
}

TEST_F(PlayerSingBackTest, AnotherModeDuringATakeDropsIt) {
  player.OnSingBack();
  TickUntil(FakePlatform::kListen);
  player.OnPlayAll();
  EXPECT_EQ(ear.Whats(), std::vector<std::string>({"start", "cancel"}));
  EXPECT_EQ(player.Mode(), PlayAllMode);
  EXPECT_EQ(player.Phase(), PlayerPhase::kPass);
  player.OnSingBack();
  TickUntil(FakePlatform::kListen);
  player.OnTeaching();
  EXPECT_EQ(ear.Whats().back(), "cancel");
  EXPECT_EQ(player.Mode(), TeachingMode);
}

TEST_F(PlayerSingBackTest, WithoutAnEarSingBackIsRefusedWithAMessage) {
  player.SetEar(nullptr);
  player.OnSingBack();
  EXPECT_EQ(platform.messages, std::vector<std::string>({kNoEarMessage}));
  EXPECT_FALSE(player.Playing());
  EXPECT_NE(player.Mode(), SingBackMode);

  // Taken away mid-exercise: the take cannot be heard, so playback stops with the message.
  player.SetEar(&ear);
  player.OnSingBack();
  TickUntil(FakePlatform::kCue);
  player.SetEar(nullptr);
  TickWhileRunning(1000);
  EXPECT_FALSE(player.Playing());
  EXPECT_EQ(platform.messages.size(), 2u);
}

// An input that stopped sending ends the exercise as a pause would, with a message; the take
// is no try, and Continue cues the same try afresh.
TEST_F(PlayerSingBackTest, ALostInputStopsWithAMessageAndContinueGivesTheSameTry) {
  ear.lostTakes = 1;
  ear.verdicts = {true};
  player.OnSingBack();
  TickWhileRunning(100000);
  EXPECT_FALSE(player.Playing());
  EXPECT_EQ(platform.messages, std::vector<std::string>({kInputLostMessage}));
  EXPECT_EQ(ear.Whats(), std::vector<std::string>({"start", "finish", "cancel"}));
  EXPECT_EQ(player.SingBackResults()[0].tries, 0) << "no try";
  EXPECT_EQ(player.PhraseIndex(), 0);

  player.OnContinue();
  EXPECT_EQ(player.Phase(), PlayerPhase::kCue);
  RunTry();
  EXPECT_EQ(player.SingBackResults()[0].tries, 1);
  EXPECT_TRUE(player.SingBackResults()[0].passed);
  EXPECT_EQ(player.PhraseIndex(), 1);
}

}  // namespace
