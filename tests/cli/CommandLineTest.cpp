// The tunwick command line, run as the built program without a display: check and
// export on good and bad input, their output, and their exit statuses.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "notation/ParseErrorHints.h"
#include "playback/Player.h"
#include "tests/cli/CommandLineFixture.h"
#include "tests/support/BuiltInScore.h"
#include "tests/support/FileBytes.h"

namespace {

using testsupport::GoldenFile;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

// The worked example of the MIDI file format: 60 at 0 ms, 62 at 500 ms, end at 1000 ms.
const std::string kTwoNoteMidi = GoldenFile("two-notes.mid");

struct CheckCase {
  const char* name;
  std::string fileBytes;
  int status;
  std::string out;
  std::string err;
};

// Cases print as their names in test listings.
void PrintTo(const CheckCase& c, std::ostream* out) { *out << c.name; }

class CheckTest : public CommandLineTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CheckTest, PrintsCountsOrTheParserMessage) {
  const CheckCase& c = GetParam();
  const Outcome run = Tunwick("check '" + ScoreFile("score.txt", c.fileBytes) + "'");
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(run.out, c.out);
  EXPECT_EQ(run.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Scores, CheckTest,
    ::testing::Values(
        CheckCase{"TwoNotes", "1,1,1,2", 0, "phrases: 1\nnotes: 2\nseconds: 1.000\n", ""},
        CheckCase{"BuiltIn", kBuiltInScore, 0, "phrases: 4\nnotes: 35\nseconds: 14.100\n", ""},
        // A Windows file: GBK comment and CR CR LF line breaks.
        CheckCase{"GbkWindowsFile", "/*\xD6\xD0\xCE\xC4*/1,1\r\r\n|s=60,1,2\r\r\n", 0,
                  "phrases: 2\nnotes: 2\nseconds: 1.500\n", ""},
        // The parser's message, then where the fault is.
        // The parser's message, then where the fault is, then the hint for the learner.
        CheckCase{"BadDuration", "1,1|2,1", 1, "",
                  "error timeing001!\n"
                  "  in the phrase at line 1, column 5: 2,1\n"
                  "  the number at line 1, column 5: 2\n"
                  "  " +
                      std::string(ParseErrorHint("error timeing001!")) + "\n"},
        CheckCase{"BadPitchOnALaterLine", "/*\xE5\xB0\x8F*/1,1\r\n|1,2,1,8\r\n", 1, "",
                  "error tune 1111!\n"
                  "  in the phrase at line 2, column 2: 1,2,1,8\n"
                  "  the number at line 2, column 8: 8\n"
                  "  " +
                      std::string(ParseErrorHint("error tune 1111!")) + "\n"},
        CheckCase{"UnpairedNumber", "1,1|1,1,1", 1, "",
                  "error4\n"
                  "  in the phrase at line 1, column 5: 1,1,1\n"
                  "  " +
                      std::string(ParseErrorHint("error4")) + "\n"},
        // Characters the parser ignores: the counts as parsed, then where each stands.
        CheckCase{"LookAlikesWarnedAfterTheCounts", "/*歌*/do＝F,1,1\n|1,2｜1,3", 0,
                  "phrases: 2\nnotes: 3\nseconds: 1.500\n",
                  "tunwick: warning at line 1, column 6: 调号“do＝F”没有被识别（应写小写 do、"
                  "半角等号和大写字母），这个调号不起作用 (probably meant: do=F)\n"
                  "tunwick: warning at line 2, column 5: 全角竖线“｜”不分乐句：它前后的两句被连成"
                  "了一句 (probably meant: |)\n"},
        CheckCase{"LookAlikesWarnedAfterAFault", "s：90,1,1,1", 1, "",
                  "error timeing001!\n"
                  "  in the phrase at line 1, column 1: s：90,1,1,1\n"
                  "  the number at line 1, column 3: 90\n"
                  "  " +
                      std::string(ParseErrorHint("error timeing001!")) +
                      "\n"
                      "tunwick: warning at line 1, column 1: 速度“s：90”没有被识别（应写小写 s "
                      "和半角等号，"
                      "紧跟数字），速度不起作用，90 被当作一个数字读入 (probably meant: s=90,)\n"}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return info.param.name; });

// "f1.txt" and "f2.txt" go beside the program, wherever it is started from: a copy of the
// program found through PATH by its bare name, run in a folder of songs that holds a file of
// the user's called f1.txt.
TEST_F(CommandLineTest, SideFilesGoBesideTheProgramNeverIntoTheCurrentFolder) {
  namespace fs = std::filesystem;
  const std::string bin = folder + "/bin", songs = folder + "/songs", data = folder + "/data";
  ASSERT_TRUE(fs::create_directory(bin) && fs::create_directory(songs));
  ASSERT_TRUE(fs::create_directory(data));
  ASSERT_TRUE(fs::copy_file(TUNWICK_BINARY, bin + "/tunwick"));
  WriteFileBytes(songs + "/f1.txt", "the user's own notes");
  WriteFileBytes(songs + "/a.txt", "1,1 &1,3");
  const std::string environment = "PATH='" + bin + "':\"$PATH\" XDG_DATA_HOME='" + data + "' ";

  Outcome run = Run(songs, environment + "tunwick check a.txt");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFileBytes(bin + "/f1.txt"), "1,1 ");
  EXPECT_EQ(ReadFileBytes(bin + "/f2.txt"), "1,3");
  EXPECT_EQ(ReadFileBytes(songs + "/f1.txt"), "the user's own notes");
  EXPECT_FALSE(fs::exists(songs + "/f2.txt"));
  EXPECT_FALSE(fs::exists(data + "/tunwick"));

  // A program folder that cannot be written (an installed program): the user data folder.
  // Root writes anywhere, so it runs the program as the unprivileged user "nobody".
  std::string asUser;
  if (geteuid() == 0) {
    if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "root needs setpriv to drop rights";
    asUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    fs::permissions(folder, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(data, fs::perms::all);
  }
  fs::permissions(bin, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  WriteFileBytes(songs + "/b.txt", "1,2 &1,4");
  run = Run(songs, environment + asUser + "tunwick check b.txt");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFileBytes(data + "/tunwick/f1.txt"), "1,2 ");
  EXPECT_EQ(ReadFileBytes(data + "/tunwick/f2.txt"), "1,4");
  EXPECT_EQ(ReadFileBytes(bin + "/f1.txt"), "1,1 ");
  EXPECT_EQ(ReadFileBytes(songs + "/f1.txt"), "the user's own notes");
}

TEST_F(CommandLineTest, ScoreWithoutPhrasesIsReported) {
  for (const char* text : {"", "/* nothing */", "|\r\n|"}) {
    for (const char* command : {"check '", "export '"}) {
      const std::string out = folder + "/none.mid";
      const Outcome run = Tunwick(command + ScoreFile("empty.txt", text) + "'" +
                                  (command[0] == 'e' ? " '" + out + "'" : ""));
      EXPECT_EQ(run.status, 1) << text;
      EXPECT_NE(run.err.find("holds no phrase"), std::string::npos) << run.err;
      EXPECT_EQ(ReadFileBytes(out), "<missing>");
    }
  }
}

TEST_F(CommandLineTest, CheckReadsStandardInput) {
  const std::string input = "1,1\r\n1,2";
  const Outcome run = Tunwick("check -", &input);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "phrases: 1\nnotes: 2\nseconds: 1.000\n");
}

TEST_F(CommandLineTest, UnreadableInputIsReported) {
  const Outcome run = Tunwick("check '" + folder + "/missing.txt'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot open"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("missing.txt"), std::string::npos) << run.err;

  const Outcome tooLong = Tunwick("check '" + ScoreFile("long.txt", std::string(30000, '1')) + "'");
  EXPECT_EQ(tooLong.status, 1);
  EXPECT_NE(tooLong.err.find("29999"), std::string::npos) << tooLong.err;

  // A GBK file of 20001 bytes becomes 30000 bytes of text: both lengths are named.
  std::string gbk;
  for (int i = 0; i < 10000; ++i) gbk += "\xD6\xD0";
  const Outcome converted = Tunwick("check '" + ScoreFile("gbk.txt", gbk + "1") + "'");
  EXPECT_EQ(converted.status, 1);
  EXPECT_EQ(converted.err,
            "tunwick: " + folder +
                "/gbk.txt: the score text is 20001 bytes in GBK and 30001 bytes once converted to "
                "UTF-8; at most 29999 bytes can be loaded\n");
}

TEST_F(CommandLineTest, ExportWritesTheKnownBytes) {
  const std::string out = folder + "/two.mid";
  const Outcome run = Tunwick("export '" + ScoreFile("two.txt", "1,1,1,2") + "' '" + out + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFileBytes(out), kTwoNoteMidi);

  const Outcome toStdout = Tunwick("export '" + folder + "/two.txt' -");
  EXPECT_EQ(toStdout.status, 0);
  EXPECT_EQ(toStdout.out, kTwoNoteMidi);
}

TEST_F(CommandLineTest, ExportOfBadScoreWritesNothing) {
  const std::string out = folder + "/bad.mid";
  const Outcome run = Tunwick("export '" + ScoreFile("bad.txt", "2,1") + "' '" + out + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "error timeing001!\n"
            "  in the phrase at line 1, column 1: 2,1\n"
            "  the number at line 1, column 1: 2\n"
            "  " +
                std::string(ParseErrorHint("error timeing001!")) + "\n");
  EXPECT_EQ(ReadFileBytes(out), "<missing>");
}

TEST_F(CommandLineTest, ExportToAnUnwritablePlaceFailsAndKeepsTheOldFile) {
  const std::string score = ScoreFile("two.txt", "1,1,1,2");
  Outcome run = Tunwick("export '" + score + "' '" + folder + "/none/out.mid'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("none/out.mid"), std::string::npos) << run.err;

  // A folder in the way is not replaced.
  ASSERT_TRUE(std::filesystem::create_directory(folder + "/taken.mid"));
  run = Tunwick("export '" + score + "' '" + folder + "/taken.mid'");
  EXPECT_EQ(run.status, 1);
}

// The tests that do not link the player use the support library's copy of the built-in score.
TEST(BuiltInScore, TheTestsCopyIsThePlayers) {
  EXPECT_STREQ(testsupport::kBuiltInScore, kBuiltInScore);
}

TEST_F(CommandLineTest, UsageHelpAndVersion) {
  const struct {
    const char* arguments;
    int status;
    const char* outHas;
    const char* errHas;
  } cases[] = {
      {"--help", 0, "check FILE", ""},
      {"-h", 0, "export FILE OUT.mid", ""},
      {"--help", 0, "progress [FILE] [--json] | --forget FILE", ""},
      {"--version", 0, "tunwick " TUNWICK_VERSION "\n", ""},
      {"frobnicate", 2, "", "unknown command 'frobnicate'"},
      {"check", 2, "", "usage: tunwick check FILE"},
      {"export a.txt", 2, "", "usage: tunwick export FILE OUT.mid"},
      {"check a b", 2, "", "usage"},
      {"--help", 0, "jianpu FILE OUT.pdf|OUT.svg|OUT.png [--title TEXT]", ""},
      {"jianpu a.txt", 2, "", "usage: tunwick jianpu FILE OUT.pdf|OUT.svg|OUT.png"},
      {"jianpu a.txt b.jpg", 2, "", "must end in .pdf, .svg or .png"},
      {"jianpu a.txt b.pdf --size 3", 2, "", "--size"},
  };
  for (const auto& c : cases) {
    const Outcome run = Tunwick(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_NE(run.out.find(c.outHas), std::string::npos) << c.arguments << ": " << run.out;
    EXPECT_NE(run.err.find(c.errHas), std::string::npos) << c.arguments << ": " << run.err;
  }
}

}  // namespace
