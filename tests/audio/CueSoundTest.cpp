#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "audio/CueMixer.h"
#include "audio/CueSound.h"
#include "files/ProgramFolder.h"
#include "tests/midi/MidiTestSupport.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WavFile.h"

namespace {

using testsupport::TempFolder;
using testsupport::WriteWav;

// The mixer, driven by hand as the audio thread would drive it.

std::vector<float> Ramp(int frames) {
  std::vector<float> stereo;
  for (int i = 0; i < frames; ++i) {
    stereo.push_back(static_cast<float>(i + 1));
    stereo.push_back(-static_cast<float>(i + 1));
  }
  return stereo;
}

TEST(CueMixerTest, AddsTheCueToWhatIsAlreadyThereAcrossBlocks) {
  audio::CCueMixer mixer;
  mixer.Start(Ramp(10));
  EXPECT_TRUE(mixer.Playing());
  std::vector<float> left(16, 100.0f), right(16, 100.0f);
  mixer.MixInto(left.data(), right.data(), 4, 0);
  mixer.MixInto(left.data() + 4, right.data() + 4, 4, 4);
  EXPECT_TRUE(mixer.Playing());
  mixer.MixInto(left.data() + 8, right.data() + 8, 8, 8);  // ends after 2 of these 8 frames
  EXPECT_FALSE(mixer.Playing());
  for (int i = 0; i < 16; ++i) {
    SCOPED_TRACE(i);
    EXPECT_FLOAT_EQ(left[i], i < 10 ? 100.0f + (i + 1) : 100.0f);
    EXPECT_FLOAT_EQ(right[i], i < 10 ? 100.0f - (i + 1) : 100.0f);
  }
}

// A cue given a frame begins on that frame of the stream, whichever block holds it; one whose
// frame has passed begins with the next block mixed.
TEST(CueMixerTest, StartsOnItsFrameInWhicheverBlockHoldsIt) {
  struct Case {
    const char* name;
    int64_t startFrame;
    int64_t firstHeard;  // the stream frame that gets the cue's first sample
  };
  const Case cases[] = {
      {"first frame of the first block", 100, 100},
      {"inside the first block", 105, 105},
      {"last frame of a block", 115, 115},
      {"first frame of the second block", 116, 116},
      {"inside a later block", 141, 141},
      {"already mixed", 40, 100},
      {"next frame mixed", audio::CCueMixer::kNextFrame, 100},
  };
  constexpr int kBlock = 16;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    audio::CCueMixer mixer;
    mixer.Start(Ramp(20), c.startFrame);
    // The stream is at frame 100 when the cue is started; blocks of 16 follow.
    std::vector<float> left(4 * kBlock, 0.0f), right(4 * kBlock, 0.0f);
    for (int block = 0; block < 4; ++block)
      mixer.MixInto(left.data() + block * kBlock, right.data() + block * kBlock, kBlock,
                    100 + block * kBlock);
    for (int i = 0; i < 4 * kBlock; ++i) {
      const int64_t frame = 100 + i;
      const int64_t index = frame - c.firstHeard;  // which of the cue's frames sounds here
      const float expected = index >= 0 && index < 20 ? static_cast<float>(index + 1) : 0.0f;
      ASSERT_FLOAT_EQ(left[i], expected) << "frame " << frame;
      ASSERT_FLOAT_EQ(right[i], -expected) << "frame " << frame;
    }
    EXPECT_FALSE(mixer.Playing());
  }
}

TEST(CueMixerTest, WaitsForItsFrameAndStopDropsItBeforeItBegins) {
  audio::CCueMixer mixer;
  mixer.Start(Ramp(4), 1000);
  float left[8] = {}, right[8] = {};
  mixer.MixInto(left, right, 8, 0);
  EXPECT_TRUE(mixer.Playing());  // waiting for frame 1000
  EXPECT_FLOAT_EQ(left[7], 0.0f);
  mixer.Stop();
  EXPECT_FALSE(mixer.Playing());
  mixer.MixInto(left, right, 8, 996);
  for (float v : left) EXPECT_FLOAT_EQ(v, 0.0f);
}

TEST(CueMixerTest, StartReplacesTheCueThatPlays) {
  audio::CCueMixer mixer;
  mixer.Start(Ramp(10));
  float left[3] = {}, right[3] = {};
  mixer.MixInto(left, right, 3, 0);
  mixer.Start(Ramp(2));
  float left2[3] = {}, right2[3] = {};
  mixer.MixInto(left2, right2, 3, 3);
  EXPECT_FLOAT_EQ(left2[0], 1.0f);
  EXPECT_FLOAT_EQ(left2[1], 2.0f);
  EXPECT_FLOAT_EQ(left2[2], 0.0f);
  EXPECT_FALSE(mixer.Playing());
}

TEST(CueMixerTest, NothingToPlayLeavesTheStreamAlone) {
  audio::CCueMixer mixer;
  mixer.Start({});
  EXPECT_FALSE(mixer.Playing());
  float left[2] = {0.5f, 0.5f}, right[2] = {0.5f, 0.5f};
  mixer.MixInto(left, right, 2, 0);
  EXPECT_FLOAT_EQ(left[1], 0.5f);
}

TEST(CueMixerTest, StopWhileAnAudioThreadMixesSilencesTheCue) {
  audio::CCueMixer mixer;
  mixer.Start(Ramp(1 << 20));
  std::atomic<bool> mixing{true};
  std::atomic<int64_t> blocks{0};
  std::thread audio([&] {
    float left[32], right[32];
    int64_t frame = 0;
    while (mixing) {
      mixer.MixInto(left, right, 32, frame);
      frame += 32;
      ++blocks;
    }
  });
  // Stop once the thread mixes. (Waiting for Playing() instead could wait for ever on a busy
  // machine: the thread may mix the whole cue before this thread looks.)
  while (blocks == 0) std::this_thread::yield();
  mixer.Stop();
  EXPECT_FALSE(mixer.Playing());
  mixer.Start(Ramp(64));  // a new cue while the thread mixes
  mixing = false;
  audio.join();
}

// Finding and decoding the cue file.

TEST(CueFileTest, LookupTakesTheFirstFolderThatHasTheFile) {
  TempFolder current, program, data;
  ASSERT_TRUE(WriteWav(program.File("lumo.wav"), 8000, 1, {0, 1}));
  ASSERT_TRUE(WriteWav(data.File("lumo.wav"), 8000, 1, {0, 1}));
  const std::vector<std::string> folders = {current.path(), program.path(), data.path()};
  EXPECT_EQ(audio::FindCueFile("lumo.wav", folders), program.File("lumo.wav"));
  ASSERT_TRUE(WriteWav(current.File("lumo.wav"), 8000, 1, {0, 1}));
  EXPECT_EQ(audio::FindCueFile("lumo.wav", folders), current.File("lumo.wav"));
  EXPECT_EQ(audio::FindCueFile("other.wav", folders), "");
  // A name with a folder is used as it is.
  EXPECT_EQ(audio::FindCueFile(data.File("lumo.wav"), {}), data.File("lumo.wav"));
  EXPECT_EQ(audio::FindCueFile(data.File("other.wav"), folders), "");
}

TEST(CueFileTest, SearchFoldersAreCurrentThenProgramThenData) {
  const std::vector<std::string> folders = audio::CueSearchFolders();
  ASSERT_EQ(folders.size(), 4u);
  EXPECT_EQ(folders[0], ".");
  const std::string program = ExecutableFolder();
  ASSERT_FALSE(program.empty());
  EXPECT_EQ(folders[1] + "/", program);
  EXPECT_EQ(folders[2], folders[1] + "/../share/tunwick");
  EXPECT_NE(folders[3].find("tunwick"), std::string::npos);
}

TEST(CueFileTest, MonoIsDoubledAndResampledToTheOutputRate) {
  TempFolder folder;
  std::vector<int16_t> mono;
  for (int i = 0; i < 2205; ++i) mono.push_back(static_cast<int16_t>(16384));
  ASSERT_TRUE(WriteWav(folder.File("cue.wav"), 22050, 1, mono));
  std::vector<float> stereo;
  std::string error;
  ASSERT_TRUE(audio::LoadCueFile(folder.File("cue.wav"), 44100, stereo, error)) << error;
  ASSERT_EQ(stereo.size(), 2u * 4410);  // 0.1 s either way
  for (size_t i = 0; i < stereo.size(); ++i) ASSERT_NEAR(stereo[i], 0.5f, 1e-4) << i;
}

TEST(CueFileTest, StereoKeepsItsChannels) {
  TempFolder folder;
  ASSERT_TRUE(WriteWav(folder.File("cue.wav"), 44100, 2, {8192, -8192, 16384, 0}));
  std::vector<float> stereo;
  std::string error;
  ASSERT_TRUE(audio::LoadCueFile(folder.File("cue.wav"), 44100, stereo, error)) << error;
  EXPECT_EQ(stereo, (std::vector<float>{0.25f, -0.25f, 0.5f, 0.0f}));
}

TEST(CueCacheTest, DecodesOncePerNameAndRate) {
  TempFolder folder;
  ASSERT_TRUE(WriteWav(folder.File("cue.wav"), 1000, 1, std::vector<int16_t>(1000, 8192)));
  const std::string path = folder.File("cue.wav");
  audio::CCueCache cache;
  EXPECT_EQ(cache.Samples(path, 1000).size(), 2u * 1000);
  EXPECT_EQ(cache.LengthMs(path, 1000), 1000);
  // Kept: the file is not read again for the same name and rate.
  ASSERT_EQ(std::remove(path.c_str()), 0);
  EXPECT_EQ(cache.Samples(path, 1000).size(), 2u * 1000);
  // Another rate decodes again (here the file is gone: the default cue, at that rate).
  EXPECT_EQ(cache.Samples(path, 2000), audio::DefaultCue(2000));
  // A length rounds up to whole milliseconds that hold every frame.
  EXPECT_EQ(cache.LengthMs(path, 2000), (audio::DefaultCue(2000).size() / 2 * 1000 + 1999) / 2000);
}

TEST(CueFileTest, UnreadableFilesFailAndFallBackToTheDefaultCue) {
  TempFolder folder;
  {
    std::FILE* f = std::fopen(folder.File("bad.wav").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not a sound file", f);
    std::fclose(f);
  }
  std::vector<float> stereo;
  std::string error;
  EXPECT_FALSE(audio::LoadCueFile(folder.File("bad.wav"), 44100, stereo, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(audio::LoadCueFile(folder.File("missing.wav"), 44100, stereo, error));

  const std::vector<float> fallback = audio::DefaultCue(44100);
  EXPECT_EQ(audio::LoadCueOrDefault(folder.File("bad.wav"), 44100), fallback);
  EXPECT_EQ(audio::LoadCueOrDefault("no-such-cue.wav", 44100), fallback);
}

TEST(CueFileTest, DefaultCueIsShortAudibleAndNeverClips) {
  const std::vector<float> cue = audio::DefaultCue(44100);
  ASSERT_GT(cue.size(), 2u * 4410);   // longer than 0.1 s
  ASSERT_LT(cue.size(), 2u * 44100);  // shorter than a second
  float peak = 0;
  for (float v : cue) peak = std::max(peak, std::fabs(v));
  EXPECT_GT(peak, 0.1f);
  EXPECT_LT(peak, 0.5f);
  EXPECT_FLOAT_EQ(cue.front(), 0.0f);  // soft edges: no click
  EXPECT_NEAR(cue.back(), 0.0f, 0.03f);
}

TEST(CueFileTest, ShippedLumoIsASoftChimeOfSixTenthsOfASecond) {
  std::vector<float> stereo;
  std::string error;
  ASSERT_TRUE(audio::LoadCueFile(TUNWICK_TEST_LUMO, 44100, stereo, error)) << error;
  EXPECT_EQ(stereo.size(), 2u * 26460);
  float peak = 0;
  for (float v : stereo) peak = std::max(peak, std::fabs(v));
  EXPECT_GT(peak, 0.2f);
  EXPECT_LT(peak, 0.5f);
  EXPECT_NEAR(stereo.back(), 0.0f, 1e-3);  // fades out to silence
}

}  // namespace
