// The side files "f1.txt" and "f2.txt" as the program writes them after every successful
// parse: their bytes, and the folder rules (the program's folder, else the user data folder,
// never the current folder unless the program lives there).

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "files/ProgramFolder.h"
#include "files/SideFileWriter.h"
#include "notation/Score.h"
#include "notation/ScoreParseError.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

namespace {

using testsupport::EnvOverride;
using testsupport::ReadFileBytes;

// Side files in a temporary folder: "program" stands for the program's folder, "data" for
// the user data folder.
class SideFilesTest : public ::testing::Test {
 protected:
  std::string Parse(const std::string& text) {
    try {
      ParseScore(text.data(), static_cast<int32_t>(text.size()), *score);
    } catch (const ScoreParseError& error) {
      return error.what();
    }
    return "";
  }
  std::string In(const std::string& name) const { return folder.File(name); }

  testsupport::TempFolder folder;
  bool made = std::filesystem::create_directory(In("program"));
  CSideFileWriter writer{In("program"), In("data/tunwick")};
  std::unique_ptr<Score> score = [this] {
    auto made = std::make_unique<Score>();
    made->sideTextSink = &writer;
    return made;
  }();
};

struct BytesCase {
  const char* text;
  const char* f1;
  const char* f2;
};

TEST_F(SideFilesTest, BytesWithLineBreaksStoredAsCrLf) {
  const std::vector<BytesCase> cases = {
      {"s=90,1,1 &1,5|\n1,2\n", "s=90,,1,1 |\r\n1,2\r\n", "s=90,,1,5|\r\n1,2\r\n"},
      {"do=F,s=120,1,1 &1,5", "do=F,s=120,,1,1 ", "do=F,s=120,1,5"},
      {"1,1\r\n|1,2", "1,1\r\r\n|1,2", "1,1\r\r\n|1,2"},  // a CR stays, its LF gains one
      {"1,1 /*\n*/|\n\n1,2", "1,1      |\r\n\r\n1,2", "1,1      |\r\n\r\n1,2"},
      {"|", "", ""},
      {"s=100,|1,1", "s=100,1,1", "s=100,1,1"},   // a dropped phrase's header echo stays
      {"s=9!,1,1", "s=9!,,1,1", "s=9!,,1,1"},     // echoed as typed, though read as tempo 95
      {"1,1|1,1,1,s=1", "1,1|s=1,", "1,1|s=1,"},  // the echo stops at the text's end
  };
  for (const BytesCase& c : cases) {
    ASSERT_EQ(Parse(c.text), "") << c.text;
    EXPECT_EQ(ReadFileBytes(In("program/f1.txt")), c.f1) << c.text;
    EXPECT_EQ(ReadFileBytes(In("program/f2.txt")), c.f2) << c.text;
  }
  EXPECT_FALSE(std::filesystem::exists(In("data/tunwick")));
  // Only the two files are left: no temporary file stays behind.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(In("program"))) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 2);
}

TEST_F(SideFilesTest, FailedParseKeepsTheFiles) {
  ASSERT_EQ(Parse("1,1|1,2"), "");
  EXPECT_EQ(Parse("1,3|1,1,1,9"), "error tune 1111!");
  EXPECT_EQ(ReadFileBytes(In("program/f1.txt")), "1,1|1,2");
  EXPECT_EQ(Parse("1,1|1,1,1"), "error4");
  EXPECT_EQ(ReadFileBytes(In("program/f2.txt")), "1,1|1,2");
}

TEST_F(SideFilesTest, UnwritableProgramFolderFallsBackToTheUserDataFolder) {
  writer = CSideFileWriter(In("missing/folder"), In("data/tunwick"));
  ASSERT_EQ(Parse("1,1 &1,2"), "");
  EXPECT_EQ(ReadFileBytes(In("data/tunwick/f1.txt")), "1,1 ");
  EXPECT_EQ(ReadFileBytes(In("data/tunwick/f2.txt")), "1,2");
  EXPECT_EQ(score->phraseCount, 1);
}

TEST_F(SideFilesTest, AnUnknownProgramFolderIsNeverTheCurrentFolder) {
  const std::string previous = std::filesystem::current_path().string();
  std::filesystem::current_path(In("program"));
  writer = CSideFileWriter("", In("data/tunwick"));
  const std::string outcome = Parse("1,5");
  std::filesystem::current_path(previous);
  ASSERT_EQ(outcome, "");
  EXPECT_EQ(ReadFileBytes(In("data/tunwick/f1.txt")), "1,5");
  EXPECT_FALSE(std::filesystem::exists(In("program/f1.txt")));
}

TEST_F(SideFilesTest, OpenFailOnlyWhenNeitherFolderCanBeWritten) {
  ASSERT_EQ(Parse("1,1|1,2"), "");
  testsupport::WriteFileBytes(In("file"), "x");  // nothing can be made below a plain file

  writer = CSideFileWriter(In("missing"), In("file/data"));
  EXPECT_EQ(Parse("1,1"), "open fail!");
  // The Score is complete and resolved all the same.
  EXPECT_EQ(score->phraseCount, 1);
  EXPECT_EQ(score->phrases[0].tempo, 120);
  EXPECT_EQ(score->phrases[0].keyLetter, 'C');

  // "f1.txt" can be written, "f2.txt" (a folder) cannot: neither file is replaced.
  writer = CSideFileWriter(In("program"), In("file/data"));
  std::filesystem::remove(In("program/f2.txt"));
  std::filesystem::create_directory(In("program/f2.txt"));
  EXPECT_EQ(Parse("1,2"), "open fail 2!");
  EXPECT_EQ(ReadFileBytes(In("program/f1.txt")), "1,1|1,2");

  // With a writable user data folder both go there instead.
  writer = CSideFileWriter(In("program"), In("data/tunwick"));
  EXPECT_EQ(Parse("1,3"), "");
  EXPECT_EQ(ReadFileBytes(In("data/tunwick/f2.txt")), "1,3");
}

// An installed program's folder takes no side files, even for root, who could write there.
TEST(ProgramFolderTest, SystemProgramFoldersAreNoPlaceForSideFiles) {
  const struct {
    const char* folder;
    bool system;
  } cases[] = {
      {"/usr/bin/", true},
      {"/usr/bin", true},
      {"/bin/", true},
      {"/usr/local/bin/", true},
      {"/usr/games/", true},
      {"/opt/tunwick/bin/", false},
      {"/usr/bin/tools/", false},
      {"build/release/cli/", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSystemProgramFolder(c.folder), c.system) << c.folder;
}

// The program's folder is the folder its first argument names; a bare name (a program found
// through PATH) means the running executable's folder, not the current one.
TEST(ProgramFolderTest, FromTheFirstArgumentElseTheExecutable) {
  EXPECT_EQ(ProgramFolderOf("/opt/tunwick/bin/tunwick"), "/opt/tunwick/bin/");
  EXPECT_EQ(ProgramFolderOf("./tunwick"), "./");
  EXPECT_EQ(ProgramFolderOf("build/app/tunwick"), "build/app/");
  const std::string executable = ExecutableFolder();
  ASSERT_FALSE(executable.empty());
  EXPECT_EQ(executable.back(), '/');
  EXPECT_TRUE(std::filesystem::exists(executable + TUNWICK_TEST_PROGRAM_NAME));
  EXPECT_EQ(ProgramFolderOf("tunwick"), executable);
  EXPECT_EQ(ProgramFolderOf(""), executable);
  // This test program's first argument names its own folder, however it was started.
  EXPECT_TRUE(std::filesystem::equivalent(ProgramFolder(), executable));
}

TEST(ProgramFolderTest, UserDataFolderIsXdgDataHomeElseUnderHome) {
  EnvOverride home("HOME", "/home/learner");
  {
    EnvOverride dataHome("XDG_DATA_HOME", "/data");
    EXPECT_EQ(UserDataFolder(), "/data/tunwick/");
  }
  {
    EnvOverride noDataHome("XDG_DATA_HOME", std::nullopt);
    EXPECT_EQ(UserDataFolder(), "/home/learner/.local/share/tunwick/");
  }
  {
    EnvOverride relativeDataHome("XDG_DATA_HOME", "relative/data");  // not absolute: ignored
    EXPECT_EQ(UserDataFolder(), "/home/learner/.local/share/tunwick/");
  }
  EnvOverride noHome("HOME", std::nullopt);
  EnvOverride noDataHome("XDG_DATA_HOME", std::nullopt);
  EXPECT_EQ(UserDataFolder(), "");
}

}  // namespace
