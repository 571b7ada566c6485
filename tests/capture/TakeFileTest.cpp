// Takes read from sound files: formats, rates and channel counts libsndfile reads, and the
// files that cannot be judged, each with a reason.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "capture/TakeFile.h"
#include "tests/capture/SyntheticTakes.h"
#include "tests/support/TempFolder.h"

namespace {

using testsupport::TempFolder;

std::vector<float> Sine(double hz, double seconds, int rate) {
  std::vector<float> mono(static_cast<size_t>(seconds * rate));
  for (size_t n = 0; n < mono.size(); ++n)
    mono[n] = static_cast<float>(0.3 * std::sin(2 * M_PI * hz * n / rate));
  return mono;
}

double MedianVoicedCents(const listening::PitchTrack& track) {
  std::vector<double> cents;
  for (const listening::PitchFrame& frame : track.frames)
    if (frame.voiced) cents.push_back(frame.midiCents);
  if (cents.empty()) return 0.0;
  std::sort(cents.begin(), cents.end());
  return cents[cents.size() / 2];
}

TEST(TakeFileTest, ReadsWhatLibsndfileReads) {
  TempFolder folder;
  const struct {
    const char* name;
    int format;
    int rate;
    int channels;
  } cases[] = {
      {"mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1},
      {"stereo.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2},
      {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 1},
      {"take.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 16000, 2},
  };
  for (const auto& c : cases) {
    const std::vector<float> mono = Sine(440.0, 0.5, c.rate);
    std::vector<float> interleaved;
    for (float sample : mono) interleaved.insert(interleaved.end(), c.channels, sample);
    SF_INFO info{};
    info.samplerate = c.rate;
    info.channels = c.channels;
    info.format = c.format;
    SNDFILE* file = sf_open(folder.File(c.name).c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << c.name;
    sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(mono.size()));
    sf_close(file);

    const capture::TakeFileResult take = capture::TrackTakeFile(folder.File(c.name));
    ASSERT_TRUE(take.ok) << c.name << ": " << take.error;
    EXPECT_EQ(take.sampleRate, c.rate) << c.name;
    EXPECT_EQ(take.channels, c.channels) << c.name;
    EXPECT_NEAR(take.seconds, 0.5, 1e-3) << c.name;
    EXPECT_LE(take.track.hopMs, 6.0) << c.name;
    EXPECT_NEAR(MedianVoicedCents(take.track), 6900.0, 3.0) << c.name;
  }
}

TEST(TakeFileTest, FilesThatCannotBeJudgedSayWhy) {
  TempFolder folder;
  folder.Write("notes.txt", "this is no sound file\n");
  taketest::WriteWav(folder.File("slow.wav"), Sine(440.0, 0.5, 4000), 4000);
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {folder.File("missing.wav"), "No such file"},
      {folder.File("notes.txt"), "Format not recognised"},
      {folder.path(), ""},
      {folder.File("slow.wav"), "sample rate of 4000 Hz is outside the 8000 to 192000 Hz"},
  };
  for (const auto& c : cases) {
    const capture::TakeFileResult take = capture::TrackTakeFile(c.path);
    EXPECT_FALSE(take.ok) << c.path;
    EXPECT_FALSE(take.error.empty()) << c.path;
    EXPECT_NE(take.error.find(c.reason), std::string::npos) << c.path << ": " << take.error;
    EXPECT_TRUE(take.track.frames.empty()) << c.path;
  }
}

TEST(TakeFileTest, AnEmptyTakeIsReadAndHoldsNothing) {
  TempFolder folder;
  ASSERT_TRUE(taketest::WriteWav(folder.File("empty.wav"), {}));
  const capture::TakeFileResult take = capture::TrackTakeFile(folder.File("empty.wav"));
  ASSERT_TRUE(take.ok) << take.error;
  EXPECT_EQ(take.seconds, 0.0);
  EXPECT_TRUE(take.track.frames.empty());
  EXPECT_GT(take.track.hopMs, 0.0);
}

}  // namespace
