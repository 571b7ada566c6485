// When sound starts in a capture of the private server's pipe sink, against moments on the
// monotonic clock: how soon a press is heard. Used by bench/cli/press-to-sound.sh.
//
//   tunwick_sound_moments RAW READS NS...
//
// For each moment NS prints one line: NS and the milliseconds from it to the first frame above
// -40 dBFS at or after it (-1 when none). RAW is 16-bit stereo at 44.1 kHz, READS the
// capture's read times (see tunwick_sound_probe).

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/tools/CaptureReading.h"

namespace {

using namespace soundprobe;

std::vector<int16_t> ReadRaw(const char* path) {
  std::vector<int16_t> samples;
  if (std::FILE* file = std::fopen(path, "rb")) {
    int16_t block[8192];
    for (size_t got; (got = std::fread(block, sizeof(int16_t), 8192, file)) > 0;)
      samples.insert(samples.end(), block, block + got);
    std::fclose(file);
  }
  return samples;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: tunwick_sound_moments RAW READS NS...\n");
    return 2;
  }
  const std::vector<int16_t> samples = ReadRaw(argv[1]);
  CaptureClock clock;
  if (samples.empty() || !clock.Read(argv[2])) {
    std::fprintf(stderr, "tunwick_sound_moments: cannot read the capture\n");
    return 2;
  }
  const int64_t frames = static_cast<int64_t>(samples.size()) / kChannels;
  const auto level = [&](int64_t frame) {
    return std::max(std::abs(samples[frame * kChannels]),
                    std::abs(samples[frame * kChannels + 1])) /
           32768.0;
  };
  const double soundLevel = std::pow(10.0, -40.0 / 20.0);
  for (int i = 3; i < argc; ++i) {
    const double ns = std::atof(argv[i]);
    const int64_t from = std::max<int64_t>(0, clock.FrameAt(ns));
    double soundMs = -1;
    for (int64_t f = from; f < frames; ++f)
      if (level(f) > soundLevel) {
        soundMs = (clock.NsAt(static_cast<double>(f)) - ns) / 1e6;
        break;
      }
    std::printf("%.0f %.1f\n", ns, soundMs);
  }
  return 0;
}
