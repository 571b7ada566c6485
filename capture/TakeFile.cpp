#include "capture/TakeFile.h"

#include <exception>
#include <vector>

#include "files/SoundFileReader.h"

namespace capture {

TakeFileResult TrackTakeFile(const std::string& path, const PitchTrackerSettings& settings) {
  TakeFileResult result;
  CSoundFileReader file;
  if (!file.Open(path)) {
    result.error = file.Error();
    return result;
  }
  const int channels = file.Channels();
  const int rate = file.SampleRate();
  result.sampleRate = rate;
  result.channels = channels;
  if (channels < 1) {
    result.error = "the sound file has no channels";
    return result;
  }
  if (rate < kLowestTrackedRate || rate > kHighestTrackedRate) {
    result.error = "its sample rate of " + std::to_string(rate) + " Hz is outside the " +
                   std::to_string(kLowestTrackedRate) + " to " +
                   std::to_string(kHighestTrackedRate) + " Hz that pitch is tracked at";
    return result;
  }
  if (static_cast<double>(file.Frames()) > kLongestTakeSeconds * rate) {
    result.error = "the take is longer than an hour";
    return result;
  }
  try {
    CPitchTracker tracker(rate, settings);
    result.track.hopMs = tracker.HopMs();
    result.track.levels = true;
    constexpr int64_t kBlockFrames = 4096;
    std::vector<float> interleaved(static_cast<size_t>(kBlockFrames) * channels);
    std::vector<float> mono(kBlockFrames);
    int64_t total = 0;
    for (;;) {
      const int64_t got = file.Read(interleaved.data(), kBlockFrames);
      if (got <= 0) break;
      for (int64_t i = 0; i < got; ++i) {
        float sum = 0.0f;
        for (int c = 0; c < channels; ++c) sum += interleaved[i * channels + c];
        mono[i] = sum / static_cast<float>(channels);
      }
      tracker.Feed(mono.data(), static_cast<size_t>(got), result.track.frames);
      total += got;
    }
    if (file.Failed()) {
      result.error = file.Error();
      return result;
    }
    result.seconds = static_cast<double>(total) / rate;
  } catch (const std::exception& error) {
    result.error = error.what();
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace capture
