// The sound probe's reading of its inputs: the schedule of a Standard MIDI File, the capture
// placed on the clock, each strike's attack searched for in it, and the statistics of errors.
#pragma once

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/support/AudioAnalysis.h"

namespace soundprobe {

constexpr int kChannels = 2;
constexpr int kBytesPerFrame = 2 * kChannels;
constexpr double kNsPerFrame = 1e9 / audiotest::kRate;

// ---- the schedule ----

inline uint32_t ReadVariableLength(const std::vector<uint8_t>& bytes, size_t& at, size_t end) {
  uint32_t value = 0;
  for (int i = 0; i < 4 && at < end; ++i) {
    const uint8_t b = bytes[at++];
    value = (value << 7) | (b & 0x7F);
    if ((b & 0x80) == 0) break;
  }
  return value;
}

// One onset of the schedule: its time from the file's start and the keys struck then.
struct Strike {
  double ms = 0;
  std::vector<int> keys;
};

// Every sounding note-on of a Standard MIDI File, notes struck together as one strike.
// Empty, with `problem` set, when the file is no Standard MIDI File or holds no note.
inline std::vector<Strike> ReadSchedule(const std::string& path, std::string& problem) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  if (bytes.size() < 14 || std::memcmp(bytes.data(), "MThd", 4) != 0) {
    problem = path + " is no Standard MIDI File";
    return {};
  }
  const int tracks = bytes[10] << 8 | bytes[11];
  const int division = bytes[12] << 8 | bytes[13];
  std::map<uint64_t, uint32_t> tempos{{0, 500000}};  // tick -> microseconds per quarter
  std::vector<std::pair<uint64_t, int>> noteOns;     // tick, key
  size_t at = 8 + (bytes[4] << 24 | bytes[5] << 16 | bytes[6] << 8 | bytes[7]);
  for (int t = 0; t < tracks && at + 8 <= bytes.size(); ++t) {
    const size_t length =
        bytes[at + 4] << 24 | bytes[at + 5] << 16 | bytes[at + 6] << 8 | bytes[at + 7];
    const size_t end = std::min(bytes.size(), at + 8 + length);
    at += 8;
    uint64_t tick = 0;
    uint8_t status = 0;
    while (at < end) {
      tick += ReadVariableLength(bytes, at, end);
      if (at >= end) break;
      if (bytes[at] & 0x80) status = bytes[at++];
      if (status == 0xFF) {
        const uint8_t type = at < end ? bytes[at++] : 0;
        const uint32_t size = ReadVariableLength(bytes, at, end);
        if (type == 0x51 && size == 3 && at + 3 <= end)
          tempos[tick] = bytes[at] << 16 | bytes[at + 1] << 8 | bytes[at + 2];
        at += size;
        status = 0;
      } else if (status == 0xF0 || status == 0xF7) {
        at += ReadVariableLength(bytes, at, end);
        status = 0;
      } else {
        const int kind = status & 0xF0;
        if (kind == 0x90 && at + 1 < end && bytes[at + 1] > 0) noteOns.push_back({tick, bytes[at]});
        at += kind == 0xC0 || kind == 0xD0 ? 1 : 2;
      }
    }
    at = end;
  }
  const auto toMs = [&](uint64_t tick) {
    if (division & 0x8000) {
      const int framesPerSecond = 256 - (division >> 8);
      return 1000.0 * tick / (framesPerSecond * (division & 0xFF));
    }
    double ms = 0;
    uint64_t from = 0;
    uint32_t tempo = 500000;
    for (const auto& [changeTick, changeTempo] : tempos) {
      if (changeTick > tick) break;
      ms += (changeTick - from) * (tempo / 1000.0) / division;
      from = changeTick;
      tempo = changeTempo;
    }
    return ms + (tick - from) * (tempo / 1000.0) / division;
  };
  std::sort(noteOns.begin(), noteOns.end());
  std::vector<Strike> strikes;
  for (const auto& [tick, key] : noteOns) {
    const double ms = toMs(tick);
    if (strikes.empty() || ms - strikes.back().ms >= 0.5) strikes.push_back({ms, {}});
    strikes.back().keys.push_back(key);
  }
  if (strikes.empty()) problem = path + " holds no sounding note";
  return strikes;
}

// ---- the capture on the clock ----

// When each captured frame sounded. The sink writes a block the moment its first frame is
// due, by its own count of microseconds, which runs a little ahead of frames / rate (it drops
// the fraction of a microsecond of every block). So a frame's time is its nominal time plus
// the least (read time - nominal time of the first frame read) among the reads around it.
class CaptureClock {
 public:
  // One line per read: time after it, first frame, frame after the last.
  bool Read(const std::string& path) {
    std::ifstream in(path);
    long long ns = 0, first = 0, end = 0;
    while (in >> ns >> first >> end) {
      if (end <= first) continue;
      firsts_.push_back(first);
      offsets_.push_back(ns - first * kNsPerFrame);
      frames = end;
    }
    return !firsts_.empty();
  }
  // A file's frames: frame 0 at time 0.
  void Nominal(int64_t count) {
    firsts_ = {0};
    offsets_ = {0};
    frames = count;
  }
  double NsAt(double frame) const { return frame * kNsPerFrame + OffsetNear(frame); }
  int64_t FrameAt(double ns) const {
    double frame = (ns - OffsetNear(0)) / kNsPerFrame;
    for (int i = 0; i < 3; ++i) frame = (ns - OffsetNear(frame)) / kNsPerFrame;
    return static_cast<int64_t>(std::floor(frame));
  }
  int64_t frames = 0;

 private:
  double OffsetNear(double frame) const {
    constexpr int64_t kReach = audiotest::kRate / 10;
    size_t at =
        std::lower_bound(firsts_.begin(), firsts_.end(), static_cast<int64_t>(frame) - kReach) -
        firsts_.begin();
    if (at == firsts_.size()) at = firsts_.size() - 1;
    double least = offsets_[at];
    for (; at < firsts_.size() && firsts_[at] <= frame + kReach; ++at)
      least = std::min(least, offsets_[at]);
    return least;
  }
  std::vector<int64_t> firsts_;
  std::vector<double> offsets_;
};

// ---- onsets ----

constexpr int64_t kFramesPerMs = audiotest::kRate / 1000;
// Runs of exact zeros this long inside sound are a stream's underruns; longer ones are silence.
constexpr int64_t kShortestDropout = 8;
constexpr int64_t kLongestDropout = audiotest::kRate / 4;
// Below this correlation of a note's attack with the capture, the note is taken as not heard.
constexpr double kLeastFit = 0.3;
// A launched player's first note: the first place its attack fits this well.
constexpr double kFirstNoteFit = 0.8;

// Frames [from, to) of a recording (16-bit stereo), searched for each strike's attack. A
// stream that underruns leaves a run of exact zeros in the sink's output, and the sound
// resumes after it with a click that would pass for an attack: those runs are cut out, and
// each kept sample remembers its capture frame.
class CaptureSearch {
 public:
  CaptureSearch(const std::string& path, bool wav, int64_t from, int64_t to)
      : search_(Splice(Read(path, wav, from, to), from)) {}

  // The capture frame in [from, to) where `attack` starts (see audiotest::AttackSearch).
  int64_t Find(const std::vector<float>& attack, int64_t from, int64_t to, double least, bool first,
               double& fit) const {
    const int64_t at = search_.Find(attack, Sample(from), Sample(to), least, first, fit);
    return at < 0 ? -1 : frameOf_[at];
  }

  size_t dropouts = 0;

 private:
  static std::vector<int16_t> Read(const std::string& path, bool wav, int64_t from, int64_t to) {
    std::vector<int16_t> frames(static_cast<size_t>(std::max<int64_t>(0, to - from)) * kChannels);
    // Frames outside the recording stay silent.
    const int64_t start = std::max<int64_t>(0, from);
    int16_t* const into = frames.data() + (start - from) * kChannels;
    const int64_t wanted = std::max<int64_t>(0, to - start);
    if (wav) {
      SF_INFO info{};
      if (SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info)) {
        if (info.channels == kChannels && sf_seek(file, start, SEEK_SET) >= 0)
          sf_readf_short(file, into, wanted);
        sf_close(file);
      }
    } else if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
      std::fseek(file, static_cast<long>(start * kBytesPerFrame), SEEK_SET);
      const size_t got = std::fread(into, kBytesPerFrame, static_cast<size_t>(wanted), file);
      static_cast<void>(got);
      std::fclose(file);
    }
    return frames;
  }

  std::vector<float> Splice(const std::vector<int16_t>& frames, int64_t from) {
    std::vector<float> mono;
    const int64_t count = static_cast<int64_t>(frames.size()) / kChannels;
    for (int64_t n = 0; n < count;) {
      int64_t end = n;
      while (end < count && frames[end * kChannels] == 0 && frames[end * kChannels + 1] == 0) ++end;
      if (end - n >= kShortestDropout && end - n <= kLongestDropout && n > 0 && end < count) {
        ++dropouts;
        n = end;
        continue;
      }
      for (end = std::max(end, n + 1); n < end; ++n) {
        mono.push_back((frames[n * kChannels] + frames[n * kChannels + 1]) / (2 * 32768.0f));
        frameOf_.push_back(from + n);
      }
    }
    return mono;
  }

  int64_t Sample(int64_t frame) const {
    return std::lower_bound(frameOf_.begin(), frameOf_.end(), frame) - frameOf_.begin();
  }

  std::vector<int64_t> frameOf_;
  audiotest::AttackSearch search_;  // after frameOf_ and dropouts, which Splice() fills
};

// ---- statistics ----

inline double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t index = std::min(values.size() - 1, static_cast<size_t>(fraction * values.size()));
  return values[index];
}

inline double Median(const std::vector<double>& values) { return Percentile(values, 0.5); }

inline double Largest(const std::vector<double>& values) {
  return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

}  // namespace soundprobe
