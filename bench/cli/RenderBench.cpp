// Offline rendering speed: the built-in score's full practice drill rendered to a WAV file
// (as `tunwick render ... --mode practice` does), against the length of the audio, with the
// process's peak memory.
//
//   tunwick_render_bench [RUNS]   (default 3)

#include <sndfile.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "cli/Commands.h"
#include "playback/Player.h"

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
  char folder[] = "/tmp/tunwick-render-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  const std::string score = std::string(folder) + "/builtin.txt";
  const std::string out = std::string(folder) + "/practice.wav";
  std::ofstream(score) << kBuiltInScore;

  std::FILE* quiet = std::fopen("/dev/null", "w");
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const int status = RunRenderCommand({score, out, "--mode", "practice"},
                                        CommandLineStreams{stdin, quiet, stderr});
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status != 0) return status;
    best = std::min(best, seconds);
  }
  std::fclose(quiet);

  SF_INFO info{};
  SNDFILE* wav = sf_open(out.c_str(), SFM_READ, &info);
  if (wav == nullptr) return 1;
  sf_close(wav);
  const double audioSeconds = static_cast<double>(info.frames) / info.samplerate;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf(
      "practice drill of the built-in score: %.1f s of audio rendered in %.2f s "
      "(%.0fx real time), peak memory %.1f MB\n",
      audioSeconds, best, audioSeconds / best, usage.ru_maxrss / 1024.0);
  std::remove(out.c_str());
  std::remove(score.c_str());
  rmdir(folder);
  return 0;
}
