// The practice and teaching cycles and the commands that start them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "playback/Player.h"
#include "tests/playback/PlayerFixture.h"

namespace {

using Script = std::vector<std::string>;
using Notes = std::vector<int32_t>;

const Notes kPhrase0 = {60, 62, 64, 65, 67, 69, 71, 72};
const Notes kPhrase1 = {60, 64, 67, 64, 60};
const Notes kPhrase2 = {60, 64, 67, 64, 60, 64, 67, 64, 60};
const Notes kPhrase3 = {72, 72, 67, 67, 64, 64, 60, 60, 67, 65, 64, 62, 60};

// One pass of the log: what the learner heard between the previous pass and this one (timer
// calls and the pass start's own volume call left off), and the notes of the pass.
struct Pass {
  Script before;
  Notes notes;
};

// Splits a log into passes: a pass runs from "pass" to "kill".
std::vector<Pass> SplitPasses(const Script& script) {
  std::vector<Pass> passes;
  Script before;
  bool playing = false;
  for (const std::string& call : script) {
    if (!playing) {
      if (call == "pass") {
        if (!before.empty() && before.back() == "volume") before.pop_back();
        passes.push_back({before, {}});
        before.clear();
        playing = true;
      } else if (call != "kill" && call != "timer") {
        before.push_back(call);
      }
    } else if (call == "kill") {
      playing = false;
    } else if (call.rfind("note ", 0) == 0) {
      passes.back().notes.push_back(std::stoi(call.substr(5)));
    }
  }
  return passes;
}

Notes Raised(Notes notes, int32_t semitones) {
  for (int32_t& n : notes) n += semitones;
  return notes;
}

Script Reference(int32_t key) { return {"volume", "note " + std::to_string(key), "wait 2000"}; }

class PlayerExerciseTest : public PlayerFixture {
 protected:
  void SetUp() override { player.LoadBuiltInAtStartup(); }

  // Runs until `count` passes have ended after the current one began.
  std::vector<Pass> RunPasses(int count) {
    for (int i = 0; i < count; ++i) TickUntil(FakePlatform::kKillTimer);
    std::vector<Pass> passes = SplitPasses(platform.Script());
    passes.resize(count);
    return passes;
  }
};

TEST_F(PlayerExerciseTest, PracticeDrillsAPhraseAtTwelvePitchesThenMovesOn) {
  player.OnPractice();
  const std::vector<Pass> passes = RunPasses(24 + 1);
  for (int32_t step = 0; step < 24; ++step) {
    const int32_t k = step / 2;
    const Script before = step % 2 == 0 ? Reference(60 + k) : Script({"cue"});
    EXPECT_EQ(passes[step].before, before) << "step " << step;
    EXPECT_EQ(passes[step].notes, Raised(kPhrase0, k)) << "step " << step;
  }
  // The next phrase follows at its own pitch.
  EXPECT_EQ(passes[24].before, Reference(60));
  EXPECT_EQ(passes[24].notes, kPhrase1);
  EXPECT_EQ(player.PhraseIndex(), 1);
  EXPECT_EQ(platform.wrongCueNames, 0);
}

TEST_F(PlayerExerciseTest, PracticeRaisesSilentEventsTooAndAPausedPassKeepsItsPitch) {
  player.OnPractice();
  RunPasses(22);  // the pass of step 22 runs eleven semitones up
  EXPECT_EQ(player.StepIndex(), 23);
  EXPECT_EQ(player.Timeline().events[0].pitch, 71);
  EXPECT_EQ(player.Timeline().events[8].pitch, kPhraseEndPitch + 11);

  player.OnPause();
  const size_t from = platform.calls.size();
  player.OnContinue();
  TickUntil(FakePlatform::kKillTimer);
  EXPECT_EQ(platform.NotesSince(from), Raised(kPhrase0, 11));
}

TEST_F(PlayerExerciseTest, PracticeWrapsFromTheLastPhraseToTheFirst) {
  player.OnPractice();
  const std::vector<Pass> passes = RunPasses(4 * 24 + 1);
  EXPECT_EQ(passes[24 * 2].notes, kPhrase2);
  EXPECT_EQ(passes[24 * 3].notes, kPhrase3);
  EXPECT_EQ(passes[24 * 3 + 23].notes, Raised(kPhrase3, 11));
  EXPECT_EQ(passes[24 * 4].before, Reference(60));
  EXPECT_EQ(passes[24 * 4].notes, kPhrase0);
  EXPECT_EQ(player.PhraseIndex(), 0);
}

TEST_F(PlayerExerciseTest, ReferenceIsTheFirstEventOnlyAndARestGivesNoneButTheWait) {
  LoadQuietly("0,1,0,3,1,5");  // a chord first
  player.OnPractice();
  EXPECT_EQ(platform.Script(), Script({"volume", "note 60", "wait 2000", "timer"}));

  LoadQuietly("1,0,1,1");  // a rest first
  player.OnPractice();
  EXPECT_EQ(platform.Script(), Script({"volume", "wait 2000", "timer"}));
  TickUntil(FakePlatform::kKillTimer);
  EXPECT_EQ(platform.NotesSince(), Notes({60}));
}

TEST_F(PlayerExerciseTest, ReferenceNotesAbove127AreNotSentButTheWaitIsKept) {
  LoadQuietly("1,100000");  // key 120
  player.OnPractice();
  const std::vector<Pass> passes = RunPasses(24);
  for (int32_t k = 0; k < 12; ++k) {
    const int32_t key = 120 + k;
    const Script before = key <= 127 ? Reference(key) : Script({"volume", "wait 2000"});
    EXPECT_EQ(passes[2 * k].before, before) << "level " << k;
    EXPECT_EQ(passes[2 * k].notes, key <= 127 ? Notes({key}) : Notes()) << "level " << k;
  }
}

TEST_F(PlayerExerciseTest, AFailedReferenceNoteStopsBeforeTheWaitAndContinuePlaysThePass) {
  platform.failSendsFrom = 0;
  player.OnPractice();
  EXPECT_EQ(platform.Script(), Script({"volume", "message"}));
  EXPECT_EQ(platform.messages, std::vector<std::string>({"port gone"}));
  EXPECT_EQ(player.TimerRunning(), 0);
  EXPECT_EQ(player.StepIndex(), 1);

  platform.failSendsFrom = -1;
  const size_t from = platform.calls.size();
  player.OnContinue();
  const size_t kill = TickUntil(FakePlatform::kKillTimer);
  EXPECT_EQ(platform.NotesSince(from), kPhrase0);
  EXPECT_EQ(platform.Script(kill), Script({"kill", "cue", "timer"}))
      << "then the cycle goes on with step 1";
}

TEST_F(PlayerExerciseTest, PracticeWhilePracticingAdvancesAPhraseEachPressAndWraps) {
  player.OnPractice();
  EXPECT_EQ(player.PhraseIndex(), 0);
  platform.calls.clear();
  player.OnPractice();
  EXPECT_EQ(platform.Script(), Script({"kill", "volume", "note 60", "wait 2000", "timer"}));
  player.OnPractice();
  EXPECT_EQ(player.PhraseIndex(), 2);
  EXPECT_EQ(player.StepIndex(), 1);
  player.OnPractice();
  player.OnPractice();
  EXPECT_EQ(player.PhraseIndex(), 0) << "from the last phrase to the first";
  platform.calls.clear();
  TickUntil(FakePlatform::kKillTimer);
  EXPECT_EQ(platform.NotesSince(), kPhrase0);
}

TEST_F(PlayerExerciseTest, PracticeStartsAtTheCurrentPhraseFromOtherModesAndAtTheFirstWhenIdle) {
  player.OnTeaching();
  RunPasses(2);  // teaching now plays phrase 1
  EXPECT_EQ(player.PhraseIndex(), 1);
  player.OnPractice();
  EXPECT_EQ(player.Mode(), PracticeMode);
  EXPECT_EQ(player.PhraseIndex(), 1);
  EXPECT_EQ(player.StepIndex(), 1);

  player.OnPractice();  // now 2
  player.OnPause();
  player.OnPractice();  // paused: from the first phrase
  EXPECT_EQ(player.PhraseIndex(), 0);
}

TEST_F(PlayerExerciseTest, TeachingPlaysEachPhraseTwiceWithTheCueBetweenAndWraps) {
  player.OnTeaching();
  const std::vector<Pass> passes = RunPasses(9);
  const Notes phrases[] = {kPhrase0, kPhrase1, kPhrase2, kPhrase3, kPhrase0};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(passes[i].before, i % 2 == 0 ? Script() : Script({"cue"})) << "pass " << i;
    EXPECT_EQ(passes[i].notes, phrases[i / 2]) << "pass " << i;
  }
  EXPECT_EQ(player.Mode(), TeachingMode);
}

TEST_F(PlayerExerciseTest, TeachingAlwaysStartsAtTheFirstPhrase) {
  player.OnPractice();
  player.OnPractice();
  player.OnPractice();
  EXPECT_EQ(player.PhraseIndex(), 2);
  platform.calls.clear();
  player.OnTeaching();
  EXPECT_EQ(platform.Script(), Script({"kill", "volume", "timer", "pass"}));
  EXPECT_EQ(player.PhraseIndex(), 0);
  EXPECT_EQ(player.StepIndex(), 1);
  TickUntil(FakePlatform::kKillTimer);
  EXPECT_EQ(platform.NotesSince(), kPhrase0) << "at its own pitch";
}

TEST_F(PlayerExerciseTest, TheCueAndTheWaitLieBeforeTimeZeroOfThePass) {
  platform.cueLengthMs = 1234;
  player.OnTeaching();
  const size_t kill = TickUntil(FakePlatform::kKillTimer);
  ASSERT_EQ(platform.Script(kill), Script({"kill", "cue", "timer"}));
  EXPECT_EQ(platform.calls[kill + 1].dueMs, platform.calls[kill].atMs) << "the cue is due at once";
  // The pass starts exactly where the cue ends; its first note is due then, and is sent on
  // the first tick after.
  const size_t pass = TickUntil(FakePlatform::kPass);
  const int32_t cueEnd = platform.calls[kill].atMs + 1234;
  EXPECT_EQ(player.StartTick(), cueEnd);
  ASSERT_EQ(platform.calls[pass + 1].kind, FakePlatform::kSend);
  const FakePlatform::Call& sent = platform.calls[pass + 1];
  EXPECT_EQ(sent.dueMs, cueEnd);
  EXPECT_GE(sent.atMs, cueEnd);
  EXPECT_LT(sent.atMs, cueEnd + kTimerPeriodMs);
  EXPECT_EQ(platform.NotesSince(kill), Notes({60})) << "nothing sounds during the cue";
}

// The reference wait and the cue are timed phases of the player: ticks pass through them,
// nothing sounds, and pause, continue and practice act on them at once.
class PlayerWaitTest : public PlayerExerciseTest {};

TEST_F(PlayerWaitTest, DuringTheReferenceWaitTicksPassAndNothingSounds) {
  player.OnPractice();
  const int32_t sentAt = platform.nowMs;
  EXPECT_EQ(player.Phase(), PlayerPhase::kReferenceWait);
  EXPECT_TRUE(player.Playing());
  const size_t from = platform.calls.size();
  for (int i = 0; i < 199; ++i) Tick();  // 1990 ms into the wait
  EXPECT_TRUE(platform.Script(from).empty()) << "no call while waiting";
  Tick();  // 2000 ms: the pass starts exactly at the wait's end
  EXPECT_EQ(platform.Script(from), Script({"volume", "pass", "note 60"}));
  EXPECT_EQ(player.StartTick(), sentAt + 2000);
  EXPECT_EQ(player.Phase(), PlayerPhase::kPass);
}

TEST_F(PlayerWaitTest, PauseDuringAWaitStopsAtOnceAndContinueResumesTheRestOfIt) {
  player.OnPractice();
  const int32_t began = platform.nowMs;
  for (int i = 0; i < 50; ++i) Tick();  // 500 ms into the 2000 ms wait
  player.OnPause();
  EXPECT_FALSE(platform.timerSet);
  EXPECT_FALSE(player.Playing());
  platform.nowMs += 60000;  // the learner takes a minute
  const size_t from = platform.calls.size();
  player.OnContinue();
  const int32_t resumed = platform.nowMs;
  EXPECT_EQ(platform.Script(from), Script({"volume", "timer"}));
  EXPECT_EQ(player.Phase(), PlayerPhase::kReferenceWait);
  const size_t pass = TickUntil(FakePlatform::kPass);
  EXPECT_EQ(player.StartTick(), resumed + 1500) << "the 1500 ms left of the wait, then the pass";
  EXPECT_EQ(platform.NotesSince(pass), Notes({60}));
  EXPECT_EQ(platform.calls[pass].atMs - began, 500 + 60000 + 1500);
}

TEST_F(PlayerWaitTest, PauseDuringTheCueSilencesItAndContinueWaitsOutItsRest) {
  platform.cueLengthMs = 800;
  player.OnTeaching();
  TickUntil(FakePlatform::kKillTimer);  // the first pass ends; the cue starts
  ASSERT_EQ(player.Phase(), PlayerPhase::kCue);
  for (int i = 0; i < 30; ++i) Tick();
  const size_t from = platform.calls.size();
  player.OnPause();
  EXPECT_EQ(platform.Script(from), Script({"kill", "stop cue"}));
  player.OnContinue();
  const int32_t resumed = platform.nowMs;
  TickUntil(FakePlatform::kPass);
  EXPECT_EQ(player.StartTick(), resumed + 500);
}

TEST_F(PlayerWaitTest, PracticeDuringAWaitMovesOnAtOnce) {
  player.OnPractice();
  for (int i = 0; i < 20; ++i) Tick();  // inside the first reference wait
  const size_t from = platform.calls.size();
  player.OnPractice();
  EXPECT_EQ(player.PhraseIndex(), 1);
  EXPECT_EQ(platform.Script(from), Script({"kill", "volume", "note 60", "wait 2000", "timer"}));

  platform.cueLengthMs = 700;
  TickUntil(FakePlatform::kKillTimer);  // phrase 1's first pass ends: the cue begins
  ASSERT_EQ(player.Phase(), PlayerPhase::kCue);
  const size_t atCue = platform.calls.size();
  player.OnPractice();
  EXPECT_EQ(player.PhraseIndex(), 2);
  EXPECT_EQ(platform.Script(atCue),
            Script({"kill", "stop cue", "volume", "note 60", "wait 2000", "timer"}));
}

TEST_F(PlayerWaitTest, TheCueHoldsThePlayerForItsLengthEvenWhenNothingSoundsIt) {
  // A device without audio still reports the cue's length; the player keeps its time.
  platform.cueLengthMs = 1500;
  player.OnPractice();
  TickUntil(FakePlatform::kKillTimer);  // step 0's pass ends, step 1 cues
  const int32_t cueAt = platform.calls.back().atMs;
  TickUntil(FakePlatform::kPass);
  EXPECT_EQ(player.StartTick(), cueAt + 1500);
}

TEST_F(PlayerWaitTest, PositionNamesPhrasePassAndSemitones) {
  player.OnPractice();
  RunPasses(5);  // the pass of step 5 runs two semitones up, after a cue
  const PlayerPosition at = player.Position();
  EXPECT_TRUE(at.playing);
  EXPECT_EQ(at.mode, PracticeMode);
  EXPECT_EQ(at.phrase, 0);
  EXPECT_EQ(at.phraseCount, 4);
  EXPECT_EQ(at.pass, 6);
  EXPECT_EQ(at.passCount, 24);
  EXPECT_EQ(at.semitones, 2);

  player.OnTeaching();
  RunPasses(3);
  EXPECT_EQ(player.Position().phrase, 1);
  EXPECT_EQ(player.Position().pass, 2);
  EXPECT_EQ(player.Position().passCount, 2);
}

}  // namespace

// With the singer's range set, practice climbs inside it and the other modes move each phrase
// to where it fits.
class PlayerRangeTest : public PlayerExerciseTest {};

TEST_F(PlayerRangeTest, PracticeStartsAtTheBottomOfTheRangeWithTheLevelsThatFit) {
  // The built-in score's first phrase spans C4-C5 (60-72); then phrase 1 (60-67) follows.
  struct Case {
    const char* name;
    VoiceRange range;
    int32_t firstKey;  // the first reference note
    int32_t levels;
    int32_t nextFirstKey;  // phrase 1's first reference note
  };
  const Case cases[] = {
      {"room for 7 more levels", {45, 64}, 45, 8, 45},
      {"room for 2 more", {48, 62}, 48, 3, 48},
      {"as wide as the phrase", {50, 62}, 50, 1, 50},
      // Wider than the range (C4-G4): the one level that leaves the fewest notes outside, five
      // of the eight inside, as central as can be.
      {"phrase wider than the range", {60, 67}, 58, 1, 60},
      {"a wide range: twelve levels", {40, 90}, 40, 12, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    player.OnPause();
    player.SetRange(c.range);
    platform.calls.clear();
    player.OnPractice();
    const std::vector<Pass> passes = RunPasses(2 * c.levels + 1);
    for (int32_t step = 0; step < 2 * c.levels; ++step) {
      const int32_t key = c.firstKey + step / 2;
      const Script before = step % 2 == 0 ? Reference(key) : Script({"cue"});
      EXPECT_EQ(passes[step].before, before) << "step " << step;
      EXPECT_EQ(passes[step].notes, Raised(kPhrase0, key - 60)) << "step " << step;
    }
    EXPECT_EQ(passes[2 * c.levels].before, Reference(c.nextFirstKey)) << "then the next phrase";
    EXPECT_EQ(passes[2 * c.levels].notes, Raised(kPhrase1, c.nextFirstKey - 60));
    EXPECT_EQ(player.PhraseIndex(), 1);
  }
}

TEST_F(PlayerRangeTest, ThePositionCountsTheLaddersPassesAndShowsTheShift) {
  player.SetRange(VoiceRange{48, 62});
  player.OnPractice();
  EXPECT_EQ(player.Position().passCount, 6);
  EXPECT_EQ(player.Position().semitones, -12);
  RunPasses(4);  // the fifth pass: the third level
  EXPECT_EQ(player.Position().pass, 5);
  EXPECT_EQ(player.Position().semitones, -10);

  // A range changed mid-phrase applies from the next phrase: the ladder in use stays whole.
  player.SetRange(VoiceRange{30, 90});
  platform.calls.clear();
  const std::vector<Pass> passes = RunPasses(3);
  EXPECT_EQ(passes[0].notes, Raised(kPhrase0, -10));
  EXPECT_EQ(passes[1].notes, Raised(kPhrase0, -10));
  EXPECT_EQ(passes[2].before, Reference(30));
  EXPECT_EQ(player.Position().passCount, 24);

  // Without a range, the written pitch and twenty-four passes again.
  player.SetRange(std::nullopt);
  player.OnPause();
  player.OnPractice();
  EXPECT_EQ(player.Position().passCount, 24);
  EXPECT_EQ(player.Position().semitones, 0);
}

TEST_F(PlayerRangeTest, TeachingPlayAndSingBackMoveEachPhraseToItsBestFit) {
  // A2-E4: phrase 0 (C4-C5) and phrase 1 (C4-G4) an octave down; phrase 3 (C4-C5) too.
  player.SetRange(VoiceRange{45, 64});
  EXPECT_EQ(player.PhraseShift(0), -12);
  EXPECT_EQ(player.PhraseShift(1), -12);
  player.OnTeaching();
  std::vector<Pass> passes = RunPasses(3);
  EXPECT_EQ(passes[0].notes, Raised(kPhrase0, -12));
  EXPECT_EQ(passes[1].notes, Raised(kPhrase0, -12));
  EXPECT_EQ(passes[2].notes, Raised(kPhrase1, -12));
  EXPECT_EQ(player.Position().semitones, -12);

  // The whole score: every phrase at its own fit.
  player.OnPlayAll();
  platform.calls.clear();
  TickUntil(FakePlatform::kKillTimer);
  Notes all;
  for (const Notes& phrase : {kPhrase0, kPhrase1, kPhrase2, kPhrase3})
    for (int32_t key : Raised(phrase, -12)) all.push_back(key);
  EXPECT_EQ(platform.NotesSince(), all);

  // A range set while a teaching phrase is paused moves it at once, from its start.
  player.OnTeaching();
  TickUntil(FakePlatform::kSend);
  TickUntil(FakePlatform::kSend);
  player.OnPause();
  player.SetRange(VoiceRange{60, 80});
  EXPECT_EQ(player.Timeline().events[0].pitch, 60) << "C4-C5 fits as written";
  platform.calls.clear();
  player.OnContinue();
  TickUntil(FakePlatform::kKillTimer);
  EXPECT_EQ(platform.NotesSince(), kPhrase0);

  // The MIDI file export keeps the written pitch.
  {
    CPlayer::CBuildOnlyScope quietly(player);
    player.OnRestoreBuiltIn();
  }
  EXPECT_EQ(player.Timeline().events[0].pitch, 60);
}
