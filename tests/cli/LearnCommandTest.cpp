// `tunwick learn --plan`: the course read from a practice history that `score --record` kept
// (takes sung by the synthesizer): each phrase's state and next review, and the day's steps,
// as JSON and as text; its arguments checked as the other commands check theirs.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "CommandStreams.h"
#include "cli/Commands.h"
#include "course/CourseHistory.h"
#include "history/WallClock.h"
#include "listening/PhraseTargets.h"
#include "notation/Score.h"
#include "playback/ChainedTake.h"
#include "tests/capture/SyntheticTakes.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/TempFolder.h"

#ifndef TUNWICK_TEST_SOUNDFONT
#error "TUNWICK_TEST_SOUNDFONT must name the soundfont the set-up installs"
#endif

namespace {

// Phrase 2: C4 D4 E4 G4 A4 G4 E4 C4 at 600 ms a beat; phrase 1 is two other notes.
const char kScore[] = "s=100,1,1,1,3|1,1,1,2,1,3,0.1,5,0.1,6,1,5,1,3,1,1";
const std::vector<listening::TargetNote> kPhrase2 = {
    {0, 60, 0, 600},     {1, 62, 600, 1200},  {2, 64, 1200, 1800}, {3, 67, 1800, 2100},
    {4, 69, 2100, 2400}, {5, 67, 2400, 3000}, {6, 64, 3000, 3600}, {7, 60, 3600, 4200}};

class LearnCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { score = folder.Write("song.txt", kScore); }

  CommandRun Run(const std::string& command, const Arguments& arguments) {
    return RunCaptured([&](const CommandLineStreams& streams) {
      return command == "score" ? RunScoreCommand(arguments, streams)
                                : RunLearnCommand(arguments, streams);
    });
  }

  testsupport::TempFolder folder;
  testsupport::EnvOverride dataHome{"XDG_DATA_HOME", folder.File("data")};
  std::string score;
};

TEST_F(LearnCommandTest, ThePlanOfAHistoryKeptByScoreRecord) {
  if (!std::ifstream(TUNWICK_TEST_SOUNDFONT))
    GTEST_SKIP() << "no soundfont at " << TUNWICK_TEST_SOUNDFONT;
  const std::string take = folder.File("take.wav");
  ASSERT_TRUE(taketest::WriteWav(take, taketest::VoiceTake(kPhrase2, {}, TUNWICK_TEST_SOUNDFONT)));
  // Phrase 2 passed twice at full tempo: known. Phrase 1 failed twice (the take is phrase 2's):
  // taught slower.
  for (const char* phrase : {"2", "2", "1", "1"}) {
    const CommandRun recorded = Run("score", {score, take, "--phrase", phrase, "--record"});
    ASSERT_EQ(recorded.status, kExitOk) << recorded.err;
  }
  const int64_t today = history::LocalDay(history::SystemWallClock()());
  const std::string tomorrow = course::DayText(today + 1);

  const CommandRun json =
      Run("learn", {score, "--plan", "--json", "--today", course::DayText(today)});
  ASSERT_EQ(json.status, kExitOk) << json.err;
  EXPECT_EQ(json.out, "{\"today\": \"" + course::DayText(today) +
                          "\", \"phrases\": [\n"
                          " {\"phrase\": 1, \"state\": \"learning\", \"nextReview\": null},\n"
                          " {\"phrase\": 2, \"state\": \"known\", \"nextReview\": \"" +
                          tomorrow +
                          "\"}],\n"
                          " \"steps\": [\n"
                          " {\"kind\": \"learn\", \"phrases\": [1], \"tempoPercent\": 80}]}\n");

  // Tomorrow phrase 2 comes back for review before phrase 1 is learnt.
  const CommandRun text = Run("learn", {score, "--plan", "--today", tomorrow});
  ASSERT_EQ(text.status, kExitOk) << text.err;
  EXPECT_EQ(text.out, "Course of " + score + " on " + tomorrow +
                          ":\n"
                          "  phrase 1: learning, taught at 80 %\n"
                          "  phrase 2: known, next review " +
                          tomorrow +
                          "\n"
                          "Today:\n"
                          "  1. review phrase 2\n"
                          "  2. learn phrase 1 at 80 %\n");
}

TEST_F(LearnCommandTest, ANewSongIsLearntFromItsFirstPhrases) {
  const CommandRun json = Run("learn", {score, "--plan", "--json", "--today", "2026-12-11"});
  ASSERT_EQ(json.status, kExitOk) << json.err;
  EXPECT_NE(json.out.find("{\"phrase\": 2, \"state\": \"new\", \"nextReview\": null}"),
            std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find(" {\"kind\": \"learn\", \"phrases\": [1], \"tempoPercent\": 100},\n"
                          " {\"kind\": \"learn\", \"phrases\": [2], \"tempoPercent\": 100}]}"),
            std::string::npos)
      << json.out;
}

TEST_F(LearnCommandTest, BadArgumentsAreUsageErrors) {
  const struct {
    Arguments arguments;
    const char* problem;
  } cases[] = {
      {{}, ""},
      {{score, "--plan", "--today", "2026-02-30"},
       "tunwick: --today takes a date as YYYY-MM-DD, not '2026-02-30'"},
      {{score, "--json"}, "tunwick: --json and --today go with --plan"},
      {{score, "--plan", "--tempo", "10"},
       "tunwick: --tempo takes a share of the written tempo from 25 to 200 (percent), not '10'"},
      {{score, "--plan", "--tolerance", "loose"}, "tunwick: --tolerance takes strict"},
      {{score, "--speed", "2"}, "tunwick: unknown option '--speed'"},
  };
  for (const auto& c : cases) {
    const CommandRun run = Run("learn", c.arguments);
    EXPECT_EQ(run.status, kExitUsage) << run.err;
    EXPECT_EQ(run.err.rfind(c.problem, 0), 0u) << run.err;
    EXPECT_NE(run.err.find("tunwick: usage: tunwick learn FILE"), std::string::npos) << run.err;
  }
  EXPECT_EQ(Run("learn", {folder.File("missing.txt"), "--plan"}).status, kExitFailure);
}

// A chain is one phrase of its own: its notes are the phrases' in order, each timed after the
// ones before, at the pitch they were written; where the phrases cannot be one, there is none.
TEST(ChainedTakeTest, PhrasesSungThroughAreOnePhraseOfAllTheirNotes) {
  const struct {
    const char* score;
    int32_t first, last;
    const char* chain;  // "" for none
  } cases[] = {
      {"do=F s=90,1,1,1,2|0.1,3,0.1,5|1,6", 0, 1, "do=F s=90,1,1,1,2,0.1,3,0.1,5"},
      {"do=F s=90,1,1,1,2|0.1,3,0.1,5|1,6", 1, 2, "do=F s=90,0.1,3,0.1,5,1,6"},
      {"s=100,1,1|1,2", 0, 1, "do=C s=100,1,1,1,2"},
      {"s=100,1,1|do=G,1,2,1,3", 0, 1, ""},  // the key changes
      {"s=100,1,1|s=80,1,2", 0, 1, ""},      // the tempo changes
      {"s=100,1,1|1,2 &1,5", 0, 1, ""},      // a second voice
      {"do=Bb s=60,1,1|1,2", 0, 1, "do=Bb s=60,1,1,1,2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.score);
    auto score = std::make_unique<Score>();
    ParseScore(c.score, static_cast<int32_t>(std::string(c.score).size()), *score);
    const std::string chain = ChainedPhraseText(*score, c.first, c.last);
    EXPECT_EQ(chain, c.chain);
    if (chain.empty()) continue;
    auto chained = std::make_unique<Score>();
    ParseScore(chain.c_str(), static_cast<int32_t>(chain.size()), *chained);
    ASSERT_EQ(chained->phraseCount, 1);
    std::vector<listening::TargetNote> expected;
    int32_t offsetMs = 0;
    for (int32_t row = c.first; row <= c.last; ++row) {
      for (listening::TargetNote note : listening::PhraseTargets(score->phrases[row], 0)) {
        note.startMs += offsetMs;
        note.endMs += offsetMs;
        expected.push_back(note);
      }
      offsetMs += listening::PhraseLengthMs(score->phrases[row]);
    }
    const std::vector<listening::TargetNote> got = listening::PhraseTargets(chained->phrases[0], 0);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].pitch, expected[i].pitch) << i;
      EXPECT_EQ(got[i].startMs, expected[i].startMs) << i;
      EXPECT_EQ(got[i].endMs, expected[i].endMs) << i;
    }
  }
}

}  // namespace
