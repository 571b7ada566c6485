#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "NotationTestSupport.h"
#include "notation/Score.h"

using namespace notation_test;

namespace {

// Sets an environment variable for the fixture's life and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Side files in a temporary folder; the user data folder and the home folder point into
// it too, so that no test writes outside it.
class SideFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { SetSideFileFolderOverride(folder / "program"); }
  void TearDown() override {
    SetSideFileFolderOverride("");
    SetProgramPath(nullptr);
  }

  std::string Parse(const std::string& text) { return ParseOutcome(text, *score); }

  TempFolder folder;
  std::unique_ptr<Score> score = std::make_unique<Score>();
  ScopedEnv dataHome{"XDG_DATA_HOME", (folder / "data").c_str()};
  ScopedEnv home{"HOME", (folder / "home").c_str()};
  bool made = std::filesystem::create_directory(folder / "program");
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
    EXPECT_EQ(ReadBytes(folder / "program/f1.txt"), c.f1) << c.text;
    EXPECT_EQ(ReadBytes(folder / "program/f2.txt"), c.f2) << c.text;
  }
  EXPECT_FALSE(Exists(folder / "data/tunwick"));
}

TEST_F(SideFilesTest, FailedParseKeepsTheFiles) {
  ASSERT_EQ(Parse("1,1|1,2"), "");
  EXPECT_EQ(Parse("1,3|1,1,1,9"), "error tune 1111!");
  EXPECT_EQ(ReadBytes(folder / "program/f1.txt"), "1,1|1,2");
  EXPECT_EQ(Parse("1,1|1,1,1"), "error4");
  EXPECT_EQ(ReadBytes(folder / "program/f2.txt"), "1,1|1,2");
}

TEST_F(SideFilesTest, ProgramFolderComesFromTheProgramPath) {
  SetSideFileFolderOverride("");
  std::filesystem::create_directory(folder / "bin");
  SetProgramPath((folder / "bin/tunwick").c_str());
  ASSERT_EQ(Parse("1,4"), "");
  EXPECT_EQ(ReadBytes(folder / "bin/f1.txt"), "1,4");

  // A program name without a folder: the current folder.
  const std::string previous = std::filesystem::current_path().string();
  std::filesystem::current_path(folder / "program");
  SetProgramPath("tunwick");
  const std::string outcome = Parse("1,5");
  std::filesystem::current_path(previous);
  ASSERT_EQ(outcome, "");
  EXPECT_EQ(ReadBytes(folder / "program/f2.txt"), "1,5");
}

TEST_F(SideFilesTest, UnwritableProgramFolderFallsBackToTheUserDataFolder) {
  SetSideFileFolderOverride(folder / "missing/folder");
  ASSERT_EQ(Parse("1,1 &1,2"), "");
  EXPECT_EQ(ReadBytes(folder / "data/tunwick/f1.txt"), "1,1 ");
  EXPECT_EQ(ReadBytes(folder / "data/tunwick/f2.txt"), "1,2");
  EXPECT_EQ(score->phraseCount, 1);
}

TEST_F(SideFilesTest, WithoutXdgDataHomeTheFallbackIsUnderHome) {
  ScopedEnv noDataHome("XDG_DATA_HOME", nullptr);
  SetSideFileFolderOverride(folder / "missing");
  ASSERT_EQ(Parse("1,3"), "");
  EXPECT_EQ(ReadBytes(folder / "home/.local/share/tunwick/f1.txt"), "1,3");

  ScopedEnv relativeDataHome("XDG_DATA_HOME", "relative/data");  // not absolute: ignored
  ASSERT_EQ(Parse("1,4"), "");
  EXPECT_EQ(ReadBytes(folder / "home/.local/share/tunwick/f1.txt"), "1,4");
}

TEST_F(SideFilesTest, OpenFailOnlyWhenNeitherFolderCanBeWritten) {
  WriteBytes(folder / "file", "x");  // nothing can be made below a plain file
  ScopedEnv blockedDataHome("XDG_DATA_HOME", (folder / "file/data").c_str());

  SetSideFileFolderOverride(folder / "missing");
  EXPECT_EQ(Parse("1,1"), "open fail!");
  // The Score is complete and resolved all the same.
  EXPECT_EQ(score->phraseCount, 1);
  EXPECT_EQ(score->phrases[0].tempo, 120);
  EXPECT_EQ(score->phrases[0].keyLetter, 'C');

  // "f1.txt" can be written, "f2.txt" (a folder) cannot.
  SetSideFileFolderOverride(folder / "program");
  std::filesystem::create_directory(folder / "program/f2.txt");
  EXPECT_EQ(Parse("1,2"), "open fail 2!");
  EXPECT_EQ(ReadBytes(folder / "program/f1.txt"), "");  // emptied on the way

  // With a writable user data folder both go there instead.
  ScopedEnv dataHomeAgain("XDG_DATA_HOME", (folder / "data").c_str());
  EXPECT_EQ(Parse("1,3"), "");
  EXPECT_EQ(ReadBytes(folder / "data/tunwick/f2.txt"), "1,3");
}

}  // namespace
