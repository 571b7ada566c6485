// `tunwick range` on generated takes of the range exercise, and --range LOW-HIGH on play,
// render, listen and score: parsed, refused with a reason, and fitting the phrases.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "CommandStreams.h"
#include "cli/Commands.h"
#include "cli/OfflineRender.h"
#include "listening/PhraseTargets.h"
#include "tests/capture/SyntheticTakes.h"
#include "tests/support/TempFolder.h"

namespace {

using testsupport::TempFolder;

using Ran = CommandRun;

template <typename Command>
Ran RunCaptured(Command command, const Arguments& arguments) {
  return ::RunCaptured(
      [&](const CommandLineStreams& streams) { return command(arguments, streams); });
}

class RangeCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(folder.path().empty()); }
  // A sine sung as the range exercise asks, with a growl and a squeak of 150 ms.
  std::string Exercise(const std::string& name, int32_t low, int32_t high, int32_t noteMs) {
    const std::string path = folder.File(name);
    taketest::TakeShape shape;
    shape.lateMs = 400;
    EXPECT_TRUE(taketest::WriteWav(
        path, taketest::SineTake(taketest::RangeExercise(low, high, noteMs, low - 5, high + 9, 150),
                                 shape)));
    return path;
  }
  TempFolder folder;
};

TEST_F(RangeCommandTest, ReportsTheLowestAndHighestHeldNotesAsTextAndJson) {
  const std::string take = Exercise("range.wav", 45, 64, 400);
  const Ran json = RunCaptured(RunRangeCommand, {take, "--json"});
  EXPECT_EQ(json.status, kExitOk) << json.err;
  EXPECT_NE(json.out.find("\"heldNotes\": 20, \"lowest\": \"A2\", \"lowestKey\": 45, "
                          "\"highest\": \"E4\", \"highestKey\": 64}\n"),
            std::string::npos)
      << json.out;
  EXPECT_EQ(json.out.rfind("{\"take\": \"" + take + "\", \"seconds\": ", 0), 0u) << json.out;

  const Ran text = RunCaptured(RunRangeCommand, {take});
  EXPECT_EQ(text.status, kExitOk);
  EXPECT_NE(text.out.find("  Lowest:  A2   (key 45)\n  Highest: E4   (key 64)\n"
                          "Range A2-E4, 19 semitones: play, render, listen and score take it as "
                          "--range A2-E4\n"),
            std::string::npos)
      << text.out;
}

TEST_F(RangeCommandTest, ATakeWithNoHeldNoteAndBadArgumentsFail) {
  const std::string quick = Exercise("quick.wav", 45, 64, 200);  // no note held 300 ms
  const std::string silence = folder.File("silence.wav");
  ASSERT_TRUE(taketest::WriteWav(silence, std::vector<float>(taketest::kRate * 2, 0.0f)));
  const struct {
    Arguments arguments;
    int status;
    std::string err;
  } cases[] = {
      {{quick, "--json"}, kExitFailure, "tunwick: no note held for 300 ms in " + quick},
      {{silence}, kExitFailure, "sing slowly from your lowest comfortable note to your highest"},
      {{}, kExitUsage, "usage: tunwick range TAKE.wav [--json]"},
      {{quick, quick}, kExitUsage, "usage: tunwick range"},
      {{quick, "--range", "A2-E4"}, kExitUsage, "unknown option '--range'"},
      {{folder.File("none.wav")}, kExitFailure, "cannot read " + folder.File("none.wav")},
  };
  for (const auto& c : cases) {
    const Ran run = RunCaptured(RunRangeCommand, c.arguments);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(RangeCommandTest, TheRangeOptionIsRefusedWithAReasonOnEveryCommand) {
  const std::string score = folder.Write("song.txt", "s=100,1,1,1,3|1,1,1,5");
  const std::string take = folder.File("take.wav");
  ASSERT_TRUE(taketest::WriteWav(take, std::vector<float>(taketest::kRate, 0.0f)));
  const std::string out = folder.File("out.wav");
  const auto play = [](const Arguments& a, const CommandLineStreams& s) {
    return RunPlayCommand(a, s);
  };
  const auto render = [](const Arguments& a, const CommandLineStreams& s) {
    return RunRenderCommand(a, s);
  };
  const auto listen = [](const Arguments& a, const CommandLineStreams& s) {
    return RunListenCommand(a, s);
  };
  const struct {
    const char* command;
    std::function<int(const Arguments&, const CommandLineStreams&)> run;
    Arguments arguments;
    std::string err;
  } cases[] = {
      {"play",
       play,
       {score, "--range", "E4-A2"},
       "--range: the range's low note E4 must be below its high note A2"},
      {"render",
       render,
       {score, out, "--range", "A2"},
       "--range: 'A2' is no range: give the lowest and highest note, such as A2-E4"},
      {"listen", listen, {score, "--range", "C4-C4"}, "must be below its high note C4"},
      {"score", RunScoreCommand, {score, take, "--range", "X1-Y2"}, "'X1-Y2' is no range"},
      {"score",
       RunScoreCommand,
       {score, take, "--range", "A2-E4", "--transpose", "2"},
       "--range and --transpose do not go together"},
      {"play", play, {score, "--range"}, "option '--range' needs a value"},
  };
  for (const auto& c : cases) {
    const Ran run = RunCaptured(c.run, c.arguments);
    EXPECT_EQ(run.status, kExitUsage) << c.command << ": " << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.command << ": " << run.err;
    EXPECT_NE(run.err.find(std::string("usage: tunwick ") + c.command), std::string::npos)
        << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_FALSE(std::ifstream(out)) << "nothing rendered";
}

TEST_F(RangeCommandTest, ScoreJudgesTheTakeWhereTheRangePutsThePhrase) {
  // Phrase 2, C4-G4, into A2-E4: an octave down; sung there, every note is hit.
  const std::string score = folder.Write("song.txt", "s=100,1,1,1,3|1,1,1,3,1,5,1,3");
  std::vector<listening::TargetNote> targets = {
      {0, 60, 0, 600}, {1, 64, 600, 1200}, {2, 67, 1200, 1800}, {3, 64, 1800, 2400}};
  taketest::TakeShape shape;
  shape.semitones = -12;
  const std::string take = folder.File("low.wav");
  ASSERT_TRUE(taketest::WriteWav(take, taketest::SineTake(targets, shape)));
  const Ran run = RunCaptured(RunScoreCommand, {score, take, "--phrase", "2", "--range", "A2-E4"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(run.out.find("Phrase 2 of 2, lowered 12 semitones, 4 notes"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("C3"), std::string::npos) << "the targets an octave down: " << run.out;
  const Ran json =
      RunCaptured(RunScoreCommand, {score, take, "--phrase", "2", "--range", "A2-E4", "--json"});
  EXPECT_NE(json.out.find("\"transpose\": -12"), std::string::npos) << json.out;
}

TEST_F(RangeCommandTest, ARenderedDrillIsShorterWhenTheRangeLeavesFewerLevels) {
  // One phrase, C4-G4; in A2-E3 (seven semitones) it is drilled at one level: two passes.
  const char score[] = "s=100,1,1,1,5";
  RenderPlan plan;
  plan.mode = PracticeMode;
  const int64_t full = PlannedRenderMs(score, plan, 500);
  plan.range = VoiceRange{45, 52};
  const int64_t fitted = PlannedRenderMs(score, plan, 500);
  // A pass: 2 beats at 600 ms; a level: the reference wait, a pass, the cue, a pass.
  const int64_t level = 2000 + 1200 + 500 + 1200;
  EXPECT_NEAR(static_cast<double>(full), 12.0 * level, 12 * 4 * kTimerPeriodMs);
  EXPECT_NEAR(static_cast<double>(fitted), 1.0 * level, 4 * kTimerPeriodMs);
}

}  // namespace
