// The score text file format: text-mode translation, encodings, the length limit, and
// saving that never destroys the old file.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "files/ScoreTextFile.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

// Tests that write files, each in a fresh folder.
class TempFolder : public ::testing::Test {
 protected:
  testsupport::TempFolder temp;
  const std::string& folder = temp.path();
};

TEST(TextMode, WriteStoresEveryLfAsCrLf) {
  const struct {
    std::string text, bytes;
  } cases[] = {
      {"1,1\r\n1,2", "1,1\r\r\n1,2"},  // the edit box's line break becomes CR CR LF
      {"1,1\n1,2", "1,1\r\n1,2"},
      {"", ""},
      {"\n\n", "\r\n\r\n"},
      {"\r", "\r"},
      {"\xE4\xB8\xAD\n", "\xE4\xB8\xAD\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodeTextMode(c.text), c.bytes) << c.text;
}

TEST(TextMode, ReadTurnsCrLfIntoLfAndStopsAtCtrlZOrZero) {
  const struct {
    std::string bytes, text;
  } cases[] = {
      {"1,1\r\r\n1,2", "1,1\r\n1,2"},
      {"1,1\r\n1,2", "1,1\n1,2"},
      {"1,1\n1,2", "1,1\n1,2"},
      {"1,1\r", "1,1\r"},
      {"\r\r\r\n", "\r\r\n"},
      {std::string("1,1\x1A"
                   "2",
                   5),
       "1,1"},
      {std::string("1,1\0"
                   "2",
                   5),
       "1,1"},
      {std::string("\x1A", 1), ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeTextMode(c.bytes), c.text);
}

TEST(TextMode, RoundTripGivesBackTheText) {
  for (const std::string text : {"1,1\r\n1,2\r\n", "a\nb\r\nc", "", "s=100,1,1|1,2"})
    EXPECT_EQ(DecodeTextMode(EncodeTextMode(text)), text);
}

TEST(Encoding, Utf8Validity) {
  EXPECT_TRUE(IsValidUtf8("plain 1,1"));
  EXPECT_TRUE(IsValidUtf8("\xE4\xB8\xAD\xE6\x96\x87"));
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x8E\xB5"));
  EXPECT_FALSE(IsValidUtf8("\xD6\xD0\xCE\xC4"));  // GBK for 中文
  EXPECT_FALSE(IsValidUtf8("\xE4\xB8"));          // cut short
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
}

TEST(Encoding, GbkFallback) {
  ScoreTextReadResult r = ScoreTextFromFileBytes("/*\xD6\xD0\xCE\xC4*/1,1\r\r\n");
  ASSERT_EQ(r.status, ScoreTextReadResult::kOk);
  EXPECT_TRUE(r.fromGbk);
  EXPECT_EQ(r.text, "/*\xE4\xB8\xAD\xE6\x96\x87*/1,1\r\n");

  r = ScoreTextFromFileBytes("/*\xE4\xB8\xAD*/1,1");
  EXPECT_FALSE(r.fromGbk);
  EXPECT_EQ(r.text, "/*\xE4\xB8\xAD*/1,1");

  // A byte-order mark is dropped.
  r = ScoreTextFromFileBytes(
      "\xEF\xBB\xBF"
      "1,1");
  EXPECT_EQ(r.text, "1,1");
}

TEST(Limit, AtMost29999BytesAfterTranslation) {
  EXPECT_EQ(ScoreTextFromFileBytes(std::string(29999, '1')).status, ScoreTextReadResult::kOk);
  EXPECT_EQ(ScoreTextFromFileBytes(std::string(30000, '1')).status, ScoreTextReadResult::kTooLong);
  // 19999 CR LF pairs and one byte: 39999 bytes in the file, 20000 in the text.
  std::string lines;
  for (int i = 0; i < 19999; ++i) lines += "\r\n";
  lines += "1";
  EXPECT_EQ(ScoreTextFromFileBytes(lines).status, ScoreTextReadResult::kOk);
  // What lies past a zero byte does not count.
  std::string padded = "1,1";
  padded += '\0';
  padded += std::string(50000, 'x');
  const ScoreTextReadResult r = ScoreTextFromFileBytes(padded);
  EXPECT_EQ(r.status, ScoreTextReadResult::kOk);
  EXPECT_EQ(r.text, "1,1");
}

// A GBK file is counted as the UTF-8 text it becomes: 中 takes 2 bytes in the file, 3 in
// the text.
TEST(Limit, GbkCountsAfterConversionAndGivesBothLengths) {
  std::string gbk;
  for (int i = 0; i < 9999; ++i) gbk += "\xD6\xD0";
  ScoreTextReadResult r = ScoreTextFromFileBytes(gbk + "12");  // 20000 bytes, 29999 converted
  ASSERT_EQ(r.status, ScoreTextReadResult::kOk);
  EXPECT_TRUE(r.fromGbk);
  EXPECT_EQ(r.text.size(), 29999u);
  EXPECT_EQ(r.text.compare(0, 6, "\xE4\xB8\xAD\xE4\xB8\xAD"), 0);

  r = ScoreTextFromFileBytes(gbk + "123");
  EXPECT_EQ(r.status, ScoreTextReadResult::kTooLong);
  EXPECT_TRUE(r.fromGbk);
  EXPECT_EQ(r.gbkLength, 20001u);
  EXPECT_EQ(r.length, 30000u);
}

TEST_F(TempFolder, ReadsFilesAndStreamsAlike) {
  const std::string path = folder + "/a.txt";
  std::string big(100000, '1');
  big[10] = '\x1A';
  WriteFileBytes(path, big);
  const ScoreTextReadResult fromFile = ReadScoreTextFile(path);
  ASSERT_EQ(fromFile.status, ScoreTextReadResult::kOk);
  EXPECT_EQ(fromFile.text, std::string(10, '1'));

  WriteFileBytes(path, std::string(200000, '1'));
  EXPECT_EQ(ReadScoreTextFile(path).status, ScoreTextReadResult::kTooLong);

  std::FILE* stream = std::fopen(path.c_str(), "rb");
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(ReadScoreTextStream(stream).status, ScoreTextReadResult::kTooLong);
  std::fclose(stream);
}

// Files that are not text are refused, read from a file or a stream; text ended by a lone
// zero or a Ctrl-Z is read as always, and so is GBK.
TEST_F(TempFolder, AFileThatIsNotTextIsRefused) {
  const std::string png = std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) + std::string(64, '\0');
  // A zero byte early, and a second one past the first chunk's text.
  std::string lateZeros = "1,1" + std::string(1, '\0') + std::string(600, 'x');
  lateZeros += '\0';
  const struct {
    const char* name;
    std::string bytes;
    ScoreTextReadResult::Status status;
    std::string text;
  } cases[] = {
      {"png: ends at its Ctrl-Z, zeros behind", png, ScoreTextReadResult::kNotText, ""},
      {"utf-16",
       std::string("\xFF\xFE"
                   "1\0,\0"
                   "1\0",
                   8),
       ScoreTextReadResult::kNotText, ""},
      {"zeros alone", std::string(4, '\0'), ScoreTextReadResult::kNotText, ""},
      {"two zeros in the first 1024 bytes", lateZeros, ScoreTextReadResult::kNotText, ""},
      {"neither UTF-8 nor GBK", "1,1/*\xFF\x80*/", ScoreTextReadResult::kNotText, ""},
      {"gbk", "/*\xD6\xD0*/1,1", ScoreTextReadResult::kOk, "/*\xE4\xB8\xAD*/1,1"},
      {"a lone zero ends the text",
       std::string("1,1\0"
                   "1,2",
                   7),
       ScoreTextReadResult::kOk, "1,1"},
      {"ctrl-z ends the text", "1,1\x1A\x1A\x1A", ScoreTextReadResult::kOk, "1,1"},
      {"a second zero past the first 1024 bytes",
       "1,1" + std::string(1, '\0') + std::string(1100, 'x') + std::string(1, '\0'),
       ScoreTextReadResult::kOk, "1,1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder + "/in.txt";
    WriteFileBytes(path, c.bytes);
    const ScoreTextReadResult fromFile = ReadScoreTextFile(path);
    EXPECT_EQ(fromFile.status, c.status);
    EXPECT_EQ(fromFile.text, c.text);
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(ReadScoreTextStream(stream).status, c.status);
    std::fclose(stream);
  }
}

TEST_F(TempFolder, OpenFailuresCarryTheReason) {
  ScoreTextReadResult r = ReadScoreTextFile(folder + "/missing.txt");
  EXPECT_EQ(r.status, ScoreTextReadResult::kCannotOpen);
  EXPECT_FALSE(r.systemError.empty());
  r = ReadScoreTextFile(folder);
  EXPECT_EQ(r.status, ScoreTextReadResult::kCannotOpen);
}

TEST_F(TempFolder, SaveWritesTheTranslatedBytes) {
  const std::string path = folder + "/s.txt";
  ASSERT_TRUE(WriteScoreTextFile(path, "1,1\r\n1,2").ok);
  EXPECT_EQ(ReadFileBytes(path), "\x31\x2C\x31\x0D\x0D\x0A\x31\x2C\x32");
  ASSERT_TRUE(WriteScoreTextFile(path, "").ok);
  EXPECT_EQ(ReadFileBytes(path), "");
}

TEST_F(TempFolder, FailedSaveLeavesTheOldFileAndNoTemporary) {
  const std::string path = folder + "/keep.txt";
  WriteFileBytes(path, "old score");
  // Writing fails part way: a file-size limit below the new text's size.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const FileWriteResult result = WriteScoreTextFile(path, std::string(1000, '1'));
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_DFL);

  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.systemError.empty());
  EXPECT_EQ(ReadFileBytes(path), "old score");
  // Only the old file is left in the folder.
  std::string names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names += entry.path().filename().string() + "\n";
  EXPECT_EQ(names, "keep.txt\n");
}

TEST_F(TempFolder, SaveKeepsPermissionsAndFollowsLinks) {
  const std::string path = folder + "/mode.txt";
  WriteFileBytes(path, "x");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(WriteScoreTextFile(path, "1,1").ok);
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);

  const std::string link = folder + "/link.txt";
  ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
  ASSERT_TRUE(WriteScoreTextFile(link, "1,2").ok);
  struct stat linkInfo {};
  ASSERT_EQ(lstat(link.c_str(), &linkInfo), 0);
  EXPECT_TRUE(S_ISLNK(linkInfo.st_mode));
  EXPECT_EQ(ReadFileBytes(path), "1,2");
}

TEST_F(TempFolder, SaveIntoAMissingFolderFails) {
  const FileWriteResult result = WriteScoreTextFile(folder + "/none/s.txt", "1,1");
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.systemError.empty());
}

}  // namespace
