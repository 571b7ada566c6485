// Takes for the capture-path test and the latency benchmark, and a microphone that sings
// them: writes a take of a phrase as a WAV file, and feeds WAV files into a sound server's
// pipe source in real time.
//
//   tunwick_take_probe take SCORE OUT.wav [--phrase N] [--cents C1,C2,...] [--soundfont SF2]
//       The phrase's notes sung by the synthesizer's Voice Oohs, note i bent by Ci cents.
//   tunwick_take_probe feed FIFO TAKE.wav --on TEXT
//       Copies standard input to standard output, line by line. Meanwhile writes 16-bit mono
//       44.1 kHz samples to FIFO at the pace of the clock: silence, and the take once each
//       time a line holding TEXT has been read. Ends when standard input ends.
//   tunwick_take_probe tone FIFO --hz F --every MS --length MS --count N --log FILE [--tail MS]
//       Silence, then a sine of F Hz for MS each time, N times, then MS of silence (default
//       2000), so that a recording stream still open is not left without input; FILE gets the
//       monotonic time (ns) at which each tone's first sample was written.
//
// The FIFO is the file of PulseAudio's module-pipe-source, which reads whatever is written
// the moment it is written: the pace is kept here, in 256-frame blocks on the monotonic clock.
// While nothing records from the source the server stops reading: those blocks are dropped.

#include <fcntl.h>
#include <sndfile.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "listening/PhraseTargets.h"
#include "notation/Score.h"
#include "tests/capture/SyntheticTakes.h"

namespace {

constexpr int kBlockFrames = 256;
constexpr int64_t kNsPerSecond = 1000000000;

int Fail(const std::string& text) {
  std::fprintf(stderr, "tunwick_take_probe: %s\n", text.c_str());
  return 1;
}

int64_t MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * kNsPerSecond + now.tv_nsec;
}

void SleepUntilNs(int64_t ns) {
  timespec at{};
  at.tv_sec = static_cast<time_t>(ns / kNsPerSecond);
  at.tv_nsec = static_cast<long>(ns % kNsPerSecond);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
}

// Everything of `argv` after `from` as option pairs.
bool Option(int argc, char** argv, int from, const char* name, std::string& value) {
  for (int i = from; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) {
      value = argv[i + 1];
      return true;
    }
  return false;
}

// Writes blocks of 16-bit samples to a FIFO, one block per 256 frames of the clock.
class PacedWriter {
 public:
  explicit PacedWriter(const std::string& fifo)
      : fd_(open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)), nextNs_(MonotonicNs()) {}
  ~PacedWriter() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }

  // Waits for the block's turn, then writes it; returns the time of the write.
  int64_t Write(const float* samples) {
    SleepUntilNs(nextNs_);
    int16_t block[kBlockFrames];
    for (int i = 0; i < kBlockFrames; ++i) {
      const double clipped = std::max(-1.0, std::min(1.0, static_cast<double>(samples[i])));
      block[i] = static_cast<int16_t>(std::lround(clipped * 32767.0));
    }
    const int64_t at = MonotonicNs();
    const char* bytes = reinterpret_cast<const char*>(block);
    size_t left = sizeof block;
    while (left > 0) {
      const ssize_t written = write(fd_, bytes, left);
      if (written < 0 && errno == EINTR) continue;
      // With no recording stream the server stops reading the pipe: like a microphone
      // nobody listens to, the sound is lost rather than waited for.
      if (written < 0 && errno == EAGAIN) break;
      if (written <= 0) return -1;
      bytes += written;
      left -= static_cast<size_t>(written);
    }
    nextNs_ += kBlockFrames * kNsPerSecond / taketest::kRate;
    return at;
  }

 private:
  int fd_;
  int64_t nextNs_;
};

int Take(int argc, char** argv) {
  if (argc < 4) return Fail("usage: take SCORE OUT.wav [--phrase N] [--cents LIST]");
  std::ifstream in(argv[2], std::ios::binary);
  if (!in) return Fail(std::string("cannot read ") + argv[2]);
  std::stringstream text;
  text << in.rdbuf();
  const std::string scoreText = text.str();
  auto score = std::make_unique<Score>();
  try {
    ParseScore(scoreText.c_str(), static_cast<int32_t>(scoreText.size()), *score);
  } catch (const std::exception& error) {
    return Fail(std::string("the score does not parse: ") + error.what());
  }
  std::string value;
  const int phrase = Option(argc, argv, 4, "--phrase", value) ? std::atoi(value.c_str()) : 1;
  if (phrase < 1 || phrase > score->phraseCount) return Fail("no such phrase");
  taketest::TakeShape shape;
  if (Option(argc, argv, 4, "--cents", value)) {
    std::stringstream list(value);
    std::string item;
    while (std::getline(list, item, ',')) shape.centsPerNote.push_back(std::atof(item.c_str()));
  }
  std::string soundfont = TUNWICK_TEST_SOUNDFONT;
  Option(argc, argv, 4, "--soundfont", soundfont);
  const std::vector<listening::TargetNote> targets =
      listening::PhraseTargets(score->phrases[phrase - 1], 0);
  try {
    if (!taketest::WriteWav(argv[3], taketest::VoiceTake(targets, shape, soundfont)))
      return Fail(std::string("cannot write ") + argv[3]);
  } catch (const std::exception& error) {
    return Fail(error.what());
  }
  return 0;
}

// A mono take at 44.1 kHz (as `take` writes it), padded to whole blocks.
bool ReadTake(const std::string& path, std::vector<float>& samples, std::string& error) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    error = "cannot read " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  if (info.channels != 1 || info.samplerate != taketest::kRate) {
    sf_close(file);
    error = path + " is not mono at 44.1 kHz";
    return false;
  }
  samples.resize(static_cast<size_t>(info.frames));
  samples.resize(static_cast<size_t>(sf_readf_float(file, samples.data(), info.frames)));
  sf_close(file);
  samples.resize((samples.size() + kBlockFrames - 1) / kBlockFrames * kBlockFrames, 0.0f);
  return true;
}

int Feed(int argc, char** argv) {
  std::string on;
  if (argc < 4 || !Option(argc, argv, 4, "--on", on))
    return Fail("usage: feed FIFO TAKE.wav --on TEXT");
  std::vector<float> take;
  std::string error;
  if (!ReadTake(argv[3], take, error)) return Fail(error);
  PacedWriter writer(argv[2]);
  if (!writer.ok()) return Fail(std::string("cannot open ") + argv[2]);

  std::atomic<int> takesDue{0};
  std::atomic<bool> inputEnded{false};
  std::thread reader([&] {
    std::string line;
    while (std::getline(std::cin, line)) {
      std::cout << line << '\n' << std::flush;
      if (line.find(on) != std::string::npos) takesDue.fetch_add(1);
    }
    inputEnded.store(true);
  });
  const std::vector<float> silence(kBlockFrames, 0.0f);
  size_t playing = take.size();  // at the end: silence
  bool ok = true;
  while (!inputEnded.load()) {
    if (playing >= take.size() && takesDue.load() > 0) {
      takesDue.fetch_sub(1);
      playing = 0;
    }
    const float* block = playing < take.size() ? &take[playing] : silence.data();
    if (writer.Write(block) < 0) {
      ok = false;
      break;
    }
    if (playing < take.size()) playing += kBlockFrames;
  }
  reader.join();
  return ok ? 0 : Fail("the pipe source stopped reading");
}

int Tone(int argc, char** argv) {
  std::string hz, every, length, count, log;
  if (argc < 3 || !Option(argc, argv, 3, "--hz", hz) || !Option(argc, argv, 3, "--every", every) ||
      !Option(argc, argv, 3, "--length", length) || !Option(argc, argv, 3, "--count", count) ||
      !Option(argc, argv, 3, "--log", log))
    return Fail("usage: tone FIFO --hz F --every MS --length MS --count N --log FILE");
  const double frequency = std::atof(hz.c_str());
  const int64_t everyBlocks = std::atoll(every.c_str()) * taketest::kRate / 1000 / kBlockFrames;
  const int64_t toneBlocks = std::atoll(length.c_str()) * taketest::kRate / 1000 / kBlockFrames;
  const int tones = std::atoi(count.c_str());
  std::string tail = "2000";
  Option(argc, argv, 3, "--tail", tail);
  const int64_t tailBlocks = std::atoll(tail.c_str()) * taketest::kRate / 1000 / kBlockFrames;
  std::FILE* out = std::fopen(log.c_str(), "w");
  if (out == nullptr) return Fail("cannot write " + log);
  PacedWriter writer(argv[2]);
  if (!writer.ok()) return Fail(std::string("cannot open ") + argv[2]);
  std::vector<float> block(kBlockFrames);
  int64_t frame = 0;
  for (int tone = 0; tone < tones; ++tone) {
    // Silence first, so that each tone starts into a quiet input.
    for (int64_t b = 0; b < everyBlocks - toneBlocks; ++b) {
      std::fill(block.begin(), block.end(), 0.0f);
      if (writer.Write(block.data()) < 0) return Fail("the pipe source stopped reading");
    }
    for (int64_t b = 0; b < toneBlocks; ++b) {
      for (int i = 0; i < kBlockFrames; ++i, ++frame)
        block[i] = static_cast<float>(
            0.3 * std::sin(2.0 * M_PI * frequency * static_cast<double>(frame) / taketest::kRate));
      const int64_t at = writer.Write(block.data());
      if (at < 0) return Fail("the pipe source stopped reading");
      if (b == 0) std::fprintf(out, "%lld\n", static_cast<long long>(at));
    }
    std::fflush(out);
  }
  std::fclose(out);
  std::fill(block.begin(), block.end(), 0.0f);
  for (int64_t b = 0; b < tailBlocks; ++b)
    if (writer.Write(block.data()) < 0) return Fail("the pipe source stopped reading");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "take") return Take(argc, argv);
  if (command == "feed") return Feed(argc, argv);
  if (command == "tone") return Tone(argc, argv);
  return Fail("usage: take | feed | tone (see the source's opening comment)");
}
