#include "capture/TakeFile.h"

#include <sndfile.h>

#include <exception>
#include <vector>

namespace capture {

TakeFileResult TrackTakeFile(const std::string& path, const PitchTrackerSettings& settings) {
  TakeFileResult result;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    result.error = sf_strerror(nullptr);
    return result;
  }
  struct Closer {
    SNDFILE* file;
    ~Closer() { sf_close(file); }
  } closer{file};

  result.sampleRate = info.samplerate;
  result.channels = info.channels;
  if (info.channels < 1) {
    result.error = "the sound file has no channels";
    return result;
  }
  if (info.samplerate < kLowestTrackedRate || info.samplerate > kHighestTrackedRate) {
    result.error = "its sample rate of " + std::to_string(info.samplerate) + " Hz is outside the " +
                   std::to_string(kLowestTrackedRate) + " to " +
                   std::to_string(kHighestTrackedRate) + " Hz that pitch is tracked at";
    return result;
  }
  if (static_cast<double>(info.frames) > kLongestTakeSeconds * info.samplerate) {
    result.error = "the take is longer than an hour";
    return result;
  }
  try {
    CPitchTracker tracker(info.samplerate, settings);
    result.track.hopMs = tracker.hopMs();
    constexpr sf_count_t kBlockFrames = 4096;
    std::vector<float> interleaved(static_cast<size_t>(kBlockFrames) * info.channels);
    std::vector<float> mono(kBlockFrames);
    sf_count_t total = 0;
    for (;;) {
      const sf_count_t got = sf_readf_float(file, interleaved.data(), kBlockFrames);
      if (got <= 0) break;
      for (sf_count_t i = 0; i < got; ++i) {
        float sum = 0.0f;
        for (int c = 0; c < info.channels; ++c) sum += interleaved[i * info.channels + c];
        mono[i] = sum / static_cast<float>(info.channels);
      }
      tracker.Feed(mono.data(), static_cast<size_t>(got), result.track.frames);
      total += got;
    }
    if (sf_error(file) != SF_ERR_NO_ERROR) {
      result.error = sf_strerror(file);
      return result;
    }
    result.seconds = static_cast<double>(total) / info.samplerate;
  } catch (const std::exception& error) {
    result.error = error.what();
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace capture
