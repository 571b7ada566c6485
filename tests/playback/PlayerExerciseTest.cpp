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

// One pass of the log: what happened between the previous stop and the start of this
// pass (the start's own volume call left off), and the notes of the pass.
struct Pass {
  Script before;
  Notes notes;
};

// Splits a log into passes: a pass runs from "timer" to "kill".
std::vector<Pass> SplitPasses(const Script& script) {
  std::vector<Pass> passes;
  Script before;
  bool playing = false;
  for (const std::string& call : script) {
    if (!playing) {
      if (call == "timer") {
        if (!before.empty() && before.back() == "volume") before.pop_back();
        passes.push_back({before, {}});
        before.clear();
        playing = true;
      } else if (call != "kill") {
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

Script Reference(int32_t key) { return {"volume", "note " + std::to_string(key), "sleep 2000"}; }

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
  EXPECT_EQ(player.phraseIndex, 1);
  EXPECT_EQ(platform.wrongCueNames, 0);
}

TEST_F(PlayerExerciseTest, PracticeRaisesSilentEventsTooAndAPausedPassKeepsItsPitch) {
  player.OnPractice();
  RunPasses(22);  // the pass of step 22 runs eleven semitones up
  EXPECT_EQ(player.stepIndex, 23);
  EXPECT_EQ(player.timeline().events[0].pitch, 71);
  EXPECT_EQ(player.timeline().events[8].pitch, kPhraseEndPitch + 11);

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
  EXPECT_EQ(player.phraseIndex, 0);
}

TEST_F(PlayerExerciseTest, ReferenceIsTheFirstEventOnlyAndARestGivesNoneButTheWait) {
  LoadQuietly("0,1,0,3,1,5");  // a chord first
  player.OnPractice();
  EXPECT_EQ(platform.Script(), Script({"volume", "note 60", "sleep 2000", "volume", "timer"}));

  LoadQuietly("1,0,1,1");  // a rest first
  player.OnPractice();
  EXPECT_EQ(platform.Script(), Script({"volume", "sleep 2000", "volume", "timer"}));
  TickUntil(FakePlatform::kKillTimer);
  EXPECT_EQ(platform.NotesSince(), Notes({60}));
}

TEST_F(PlayerExerciseTest, ReferenceNotesAbove127AreNotSentButTheWaitIsKept) {
  LoadQuietly("1,100000");  // key 120
  player.OnPractice();
  const std::vector<Pass> passes = RunPasses(24);
  for (int32_t k = 0; k < 12; ++k) {
    const int32_t key = 120 + k;
    const Script before = key <= 127 ? Reference(key) : Script({"volume", "sleep 2000"});
    EXPECT_EQ(passes[2 * k].before, before) << "level " << k;
    EXPECT_EQ(passes[2 * k].notes, key <= 127 ? Notes({key}) : Notes()) << "level " << k;
  }
}

TEST_F(PlayerExerciseTest, AFailedReferenceNoteStopsBeforeTheWaitAndContinuePlaysThePass) {
  platform.failSendsFrom = 0;
  player.OnPractice();
  EXPECT_EQ(platform.Script(), Script({"volume", "message"}));
  EXPECT_EQ(platform.messages, std::vector<std::string>({"port gone"}));
  EXPECT_EQ(player.timerRunning, 0);
  EXPECT_EQ(player.stepIndex, 1);

  platform.failSendsFrom = -1;
  const size_t from = platform.calls.size();
  player.OnContinue();
  const size_t kill = TickUntil(FakePlatform::kKillTimer);
  EXPECT_EQ(platform.NotesSince(from), kPhrase0);
  EXPECT_EQ(platform.Script(kill), Script({"kill", "cue", "volume", "timer"}))
      << "then the cycle goes on with step 1";
}

TEST_F(PlayerExerciseTest, PracticeWhilePracticingAdvancesAPhraseEachPressAndWraps) {
  player.OnPractice();
  EXPECT_EQ(player.phraseIndex, 0);
  platform.calls.clear();
  player.OnPractice();
  EXPECT_EQ(platform.Script(),
            Script({"kill", "volume", "note 60", "sleep 2000", "volume", "timer"}));
  player.OnPractice();
  EXPECT_EQ(player.phraseIndex, 2);
  EXPECT_EQ(player.stepIndex, 1);
  player.OnPractice();
  player.OnPractice();
  EXPECT_EQ(player.phraseIndex, 0) << "from the last phrase to the first";
  platform.calls.clear();
  TickUntil(FakePlatform::kKillTimer);
  EXPECT_EQ(platform.NotesSince(), kPhrase0);
}

TEST_F(PlayerExerciseTest, PracticeStartsAtTheCurrentPhraseFromOtherModesAndAtTheFirstWhenIdle) {
  player.OnTeaching();
  RunPasses(2);  // teaching now plays phrase 1
  EXPECT_EQ(player.phraseIndex, 1);
  player.OnPractice();
  EXPECT_EQ(player.playMode, PracticeMode);
  EXPECT_EQ(player.phraseIndex, 1);
  EXPECT_EQ(player.stepIndex, 1);

  player.OnPractice();  // now 2
  player.OnPause();
  player.OnPractice();  // paused: from the first phrase
  EXPECT_EQ(player.phraseIndex, 0);
}

TEST_F(PlayerExerciseTest, TeachingPlaysEachPhraseTwiceWithTheCueBetweenAndWraps) {
  player.OnTeaching();
  const std::vector<Pass> passes = RunPasses(9);
  const Notes phrases[] = {kPhrase0, kPhrase1, kPhrase2, kPhrase3, kPhrase0};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(passes[i].before, i % 2 == 0 ? Script() : Script({"cue"})) << "pass " << i;
    EXPECT_EQ(passes[i].notes, phrases[i / 2]) << "pass " << i;
  }
  EXPECT_EQ(player.playMode, TeachingMode);
}

TEST_F(PlayerExerciseTest, TeachingAlwaysStartsAtTheFirstPhrase) {
  player.OnPractice();
  player.OnPractice();
  player.OnPractice();
  EXPECT_EQ(player.phraseIndex, 2);
  platform.calls.clear();
  player.OnTeaching();
  EXPECT_EQ(platform.Script(), Script({"kill", "volume", "timer"}));
  EXPECT_EQ(player.phraseIndex, 0);
  EXPECT_EQ(player.stepIndex, 1);
  TickUntil(FakePlatform::kKillTimer);
  EXPECT_EQ(platform.NotesSince(), kPhrase0) << "at its own pitch";
}

TEST_F(PlayerExerciseTest, TheCueAndTheWaitLieBeforeTimeZeroOfThePass) {
  platform.cueLengthMs = 1234;
  player.OnTeaching();
  const size_t kill = TickUntil(FakePlatform::kKillTimer);
  ASSERT_EQ(platform.Script(kill), Script({"kill", "cue", "volume", "timer"}));
  const int32_t started = platform.calls.back().atMs;
  EXPECT_EQ(started - platform.calls[kill].atMs, 1234);
  // The pass's first note (at 0 ms) is sent on the first tick after the cue has ended.
  const size_t sent = TickUntil(FakePlatform::kSend);
  EXPECT_EQ(platform.calls[sent].atMs - started, kTimerPeriodMs);
}

}  // namespace
