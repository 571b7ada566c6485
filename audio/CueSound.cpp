#include "audio/CueSound.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "files/ProgramFolder.h"
#include "files/SoundFileReader.h"

namespace audio {

namespace {

constexpr double kPi = 3.14159265358979323846;

bool IsReadableFile(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

// Linear interpolation between the source frames; good enough for a short cue.
std::vector<float> Resample(const std::vector<float>& stereo, int fromRate, int toRate) {
  const size_t inFrames = stereo.size() / 2;
  if (fromRate == toRate || inFrames == 0) return stereo;
  const size_t outFrames =
      static_cast<size_t>(static_cast<double>(inFrames) * toRate / fromRate + 0.5);
  std::vector<float> out(2 * outFrames);
  const double step = static_cast<double>(fromRate) / toRate;
  for (size_t i = 0; i < outFrames; ++i) {
    const double position = i * step;
    const size_t first = std::min(static_cast<size_t>(position), inFrames - 1);
    const size_t second = std::min(first + 1, inFrames - 1);
    const float weight = static_cast<float>(position - first);
    for (int c = 0; c < 2; ++c)
      out[2 * i + c] = stereo[2 * first + c] * (1 - weight) + stereo[2 * second + c] * weight;
  }
  return out;
}

}  // namespace

std::vector<std::string> CueSearchFolders() {
  // The current folder, then the installed data folders, named without a final '/'.
  std::vector<std::string> folders = {"."};
  for (std::string folder : DataFolders()) {
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    folders.push_back(folder);
  }
  return folders;
}

std::string FindCueFile(const std::string& name, const std::vector<std::string>& folders) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return IsReadableFile(name) ? name : std::string();
  return FindData(name, folders, DataKind::kReadableFile);
}

bool LoadCueFile(const std::string& path, int sampleRate, std::vector<float>& stereoSamples,
                 std::string& error) {
  CSoundFileReader file;
  if (!file.Open(path)) {
    error = file.Error();
    return false;
  }
  // A cue is short; refuse anything over a minute rather than hold the caller for long.
  const int channels = file.Channels();
  if (channels < 1 || file.SampleRate() < 1 || file.Frames() > 60LL * file.SampleRate()) {
    error = "unsuitable sound file";
    return false;
  }
  std::vector<float> frames(static_cast<size_t>(file.Frames()) * channels);
  const int64_t read = file.Read(frames.data(), file.Frames());
  std::vector<float> stereo(2 * static_cast<size_t>(read));
  for (int64_t i = 0; i < read; ++i) {
    const float* frame = &frames[static_cast<size_t>(i) * channels];
    stereo[2 * i] = frame[0];
    stereo[2 * i + 1] = channels > 1 ? frame[1] : frame[0];
  }
  stereoSamples = Resample(stereo, file.SampleRate(), sampleRate);
  return true;
}

std::vector<float> DefaultCue(int sampleRate) {
  // Two short sine tones, a fifth apart, with soft edges: 0.12 s each, 0.3 s in all.
  const int toneFrames = sampleRate * 12 / 100;
  const int gapFrames = sampleRate * 6 / 100;
  const int total = 2 * toneFrames + gapFrames;
  std::vector<float> stereo(2 * static_cast<size_t>(total), 0.0f);
  const double frequencies[2] = {880.0, 1318.5};
  for (int tone = 0; tone < 2; ++tone) {
    const int start = tone * (toneFrames + gapFrames);
    for (int i = 0; i < toneFrames; ++i) {
      const double t = static_cast<double>(i) / sampleRate;
      const double edge = std::min(1.0, std::min(i, toneFrames - i) / (0.01 * sampleRate));
      const float value =
          static_cast<float>(0.25 * edge * std::sin(2 * kPi * frequencies[tone] * t));
      stereo[2 * (start + i)] = value;
      stereo[2 * (start + i) + 1] = value;
    }
  }
  return stereo;
}

std::vector<float> LoadCueOrDefault(const std::string& name, int sampleRate) {
  const std::string path = FindCueFile(name, CueSearchFolders());
  std::vector<float> samples;
  std::string error;
  if (!path.empty() && LoadCueFile(path, sampleRate, samples, error) && !samples.empty())
    return samples;
  return DefaultCue(sampleRate);
}

const std::vector<float>& CCueCache::Samples(const std::string& name, int sampleRate) {
  if (!loaded_ || name_ != name || rate_ != sampleRate) {
    samples_ = LoadCueOrDefault(name, sampleRate);
    name_ = name;
    rate_ = sampleRate;
    loaded_ = true;
  }
  return samples_;
}

int32_t CCueCache::LengthMs(const std::string& name, int sampleRate) {
  const int64_t frames = static_cast<int64_t>(Samples(name, sampleRate).size() / 2);
  return static_cast<int32_t>((frames * 1000 + sampleRate - 1) / sampleRate);
}

}  // namespace audio
