#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "files/SoundFileReader.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WavFile.h"

namespace {

using testsupport::TempFolder;
using testsupport::WriteWav;

TEST(SoundFileReaderTest, ReadsInterleavedFramesBlockByBlockToTheEnd) {
  TempFolder folder;
  std::vector<int16_t> samples;
  for (int i = 0; i < 10; ++i) {
    samples.push_back(static_cast<int16_t>(i * 1024));
    samples.push_back(static_cast<int16_t>(-i * 1024));
  }
  ASSERT_TRUE(WriteWav(folder.File("take.wav"), 8000, 2, samples));
  CSoundFileReader file;
  ASSERT_TRUE(file.Open(folder.File("take.wav"))) << file.Error();
  EXPECT_EQ(file.SampleRate(), 8000);
  EXPECT_EQ(file.Channels(), 2);
  EXPECT_EQ(file.Frames(), 10);
  std::vector<float> read;
  float block[2 * 4];
  int64_t got;
  while ((got = file.Read(block, 4)) > 0) read.insert(read.end(), block, block + 2 * got);
  EXPECT_FALSE(file.Failed());
  ASSERT_EQ(read.size(), samples.size());
  for (size_t i = 0; i < read.size(); ++i) EXPECT_FLOAT_EQ(read[i], samples[i] / 32768.0f) << i;
}

TEST(SoundFileReaderTest, AFileThatIsNoSoundSaysWhy) {
  TempFolder folder;
  const std::string text = folder.File("notes.txt");
  std::FILE* f = std::fopen(text.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("1,1,1,2", f);
  std::fclose(f);
  for (const std::string& path : {text, folder.File("missing.wav")}) {
    CSoundFileReader file;
    EXPECT_FALSE(file.Open(path)) << path;
    EXPECT_FALSE(file.Error().empty()) << path;
    float frame[2];
    EXPECT_EQ(file.Read(frame, 1), 0) << "nothing to read from a file that did not open";
  }
}

}  // namespace
