#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "audio/BufferMemory.h"
#include "tests/support/TempFolder.h"

namespace {

constexpr int64_t kLeast = 1024;
constexpr int64_t kMost = 8192;

// What a kept buffer gives back: only a whole number in bounds, written within the day.
TEST(BufferMemoryTest, RecallsWhatWasKeptWithinADayAndNothingElse) {
  testsupport::TempFolder folder;
  const std::string path = folder.path() + "/data/tunwick/sound-buffer";
  const int64_t now = 1800000000;
  EXPECT_EQ(audio::RecalledBufferFrames(path, kLeast, kMost, now), 0) << "nothing kept";
  ASSERT_TRUE(audio::RememberBufferFrames(path, 4096)) << "its folder is made";
  struct stat status {};
  ASSERT_EQ(::stat(path.c_str(), &status), 0);
  const int64_t written = status.st_mtime;
  EXPECT_EQ(audio::RecalledBufferFrames(path, kLeast, kMost, written), 4096);
  EXPECT_EQ(audio::RecalledBufferFrames(path, kLeast, kMost, written + audio::kBufferMemorySeconds),
            4096);
  EXPECT_EQ(
      audio::RecalledBufferFrames(path, kLeast, kMost, written + audio::kBufferMemorySeconds + 1),
      0)
      << "a day later the stream starts short again";

  struct Case {
    const char* text;
    int64_t frames;
  };
  const Case cases[] = {{"2048\n", 2048}, {"8192", 8192}, {"8193\n", 0},   {"512\n", 0},
                        {"", 0},          {"lots\n", 0},  {"2048 x\n", 0}, {"-2048\n", 0}};
  for (const Case& c : cases) {
    std::ofstream(path) << c.text;
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(audio::RecalledBufferFrames(path, kLeast, kMost, status.st_mtime), c.frames)
        << c.text;
  }
  EXPECT_EQ(audio::RecalledBufferFrames("", kLeast, kMost, now), 0);
  EXPECT_FALSE(audio::RememberBufferFrames("", 4096));
}

}  // namespace
