#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "cli/Commands.h"
#include "tests/cli/CommandStreams.h"
#include "tests/support/TempFolder.h"

// `tunwick import`: a tune written as a score file, what was lost on standard error with its
// bar, and every refusal with its exit status and no file left behind.

namespace {

constexpr char kTune[] =
    "X:1\nT:Little tune\nM:2/4\nL:1/8\nK:G\nD2|G2 {a}B2|d4|\nw: Oh my "
    "dear\n\nX:2\nT:Other\nK:C\nC|\n";

CommandRun Import(const Arguments& arguments) {
  return RunCaptured(
      [&](const CommandLineStreams& streams) { return RunImportCommand(arguments, streams); });
}

TEST(ImportCommandTest, WritesTheScoreAndReportsLossesByBar) {
  testsupport::TempFolder folder;
  const std::string source = folder.Write("tune.abc", kTune);
  const CommandRun run = Import({source, folder.File("tune.txt")});
  ASSERT_EQ(run.status, kExitOk) << run.err;
  const std::string text = folder.Read("tune.txt");
  EXPECT_NE(text.find("/*title: Little tune*/\r\n/*meter: 2/4, pickup 1*/\r\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("/*words: Oh my dear*/"), std::string::npos) << text;
  EXPECT_NE(run.err.find("tunwick: bar 1: grace notes left out"), std::string::npos) << run.err;
}

TEST(ImportCommandTest, WritesToStandardOutputAndChoosesTheTune) {
  testsupport::TempFolder folder;
  const CommandRun run = Import({folder.Write("tunes.ABC", kTune), "-", "--tune", "2"});
  ASSERT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.out.rfind("/*title: Other*/\n", 0), 0u) << run.out;
}

TEST(ImportCommandTest, ListsTheTunes) {
  testsupport::TempFolder folder;
  const CommandRun run = Import({folder.Write("tunes.abc", kTune), "--list"});
  ASSERT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(run.out.find("X:1"), std::string::npos);
  EXPECT_NE(run.out.find("Little tune"), std::string::npos);
  EXPECT_NE(run.out.find("D4-D5"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("X:2"), std::string::npos);
}

TEST(ImportCommandTest, RefusesWhatCannotBeImportedWithoutWritingAFile) {
  testsupport::TempFolder folder;
  const std::string big = folder.File("big.abc");
  ASSERT_EQ(truncate(folder.Write("big.abc", "X:1\n").c_str(), 100L * 1024 * 1024), 0);
  struct Refusal {
    std::string source;
    Arguments more;
    const char* message;
  };
  const Refusal refusals[] = {
      {folder.Write("picture.abc", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)),
       {},
       "not an ABC file"},
      {folder.Write("letter.abc", "Dear friend,\nno tune here.\n"), {}, "no tune"},
      {folder.Write("one.abc", kTune), {"--tune", "9"}, "no tune X:9"},
      {folder.Write("two.abc", kTune), {"--part", "3"}, "no part 3"},
      {big, {}, "too large"},
      {folder.File("missing.abc"), {}, "cannot open"},
  };
  for (const Refusal& refusal : refusals) {
    Arguments arguments{refusal.source, folder.File("out.txt")};
    arguments.insert(arguments.end(), refusal.more.begin(), refusal.more.end());
    const CommandRun run = Import(arguments);
    EXPECT_EQ(run.status, kExitFailure) << refusal.source;
    EXPECT_NE(run.err.find(refusal.message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(folder.Read("out.txt"), "<missing>") << refusal.source;
  }
}

TEST(ImportCommandTest, WrongArgumentsAreUsageErrors) {
  testsupport::TempFolder folder;
  const std::string source = folder.Write("tune.abc", kTune);
  const Arguments wrong[] = {
      {source},
      {source, "a.txt", "b.txt"},
      {source, "a.txt", "--tune", "x"},
      {source, "a.txt", "--phrase-bars", "0"},
      {source, "a.txt", "--bogus", "1"},
      {folder.Write("song.mp3", "ID3"), "a.txt"},
  };
  for (const Arguments& arguments : wrong) {
    const CommandRun run = Import(arguments);
    EXPECT_EQ(run.status, kExitUsage) << arguments.back();
    EXPECT_NE(run.err.find("usage: tunwick import"), std::string::npos) << run.err;
  }
  EXPECT_EQ(folder.Read("a.txt"), "<missing>");
}

}  // namespace
