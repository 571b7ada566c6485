// Latency of the sing-back panel's live pitch: captures the default input as the window does
// (CAudioCapture feeding a CCaptureEar), asks the ear for new frames every CSingBackPanel::kPollMs
// as the panel's timer does, and prints the monotonic time (ns) of each poll that first shows
// a voiced frame near the expected pitch after a stretch without one. Paired with the times
// at which a tone entered the input (bench/capture/capture-latency.sh), that is the delay from
// a sound to its pitch on the panel; the panel repaints in the same turn of the event loop.
//
//   tunwick_capture_latency --hz F --seconds S

#include <time.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "capture/AudioCapture.h"
#include "listening/Pitch.h"
#include "panel/SingBackPanel.h"
#include "playback/Player.h"
#include "playback/SilentPlatform.h"
#include "singback/CaptureEar.h"

namespace {

int64_t MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The ear needs a phrase to judge against; the latency needs none of it.
const char kOneNote[] = "1,1";

}  // namespace

int main(int argc, char** argv) {
  double hz = 0.0;
  double seconds = 0.0;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--hz") == 0) hz = std::atof(argv[i + 1]);
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);
  }
  if (hz <= 0.0 || seconds <= 0.0) {
    std::fprintf(stderr, "usage: tunwick_capture_latency --hz F --seconds S\n");
    return 2;
  }
  const double expectedMidiCents = 100.0 * (69.0 + 12.0 * std::log2(hz / 440.0));

  CSilentPlatform platform;
  CPlayer player(platform);
  {
    CPlayer::CBuildOnlyScope quietly(player);
    player.LoadAndPlay(kOneNote);
  }
  std::atomic<CCaptureEar*> feeding{nullptr};
  capture::CAudioCapture capture;
  try {
    capture.Start([&feeding](const float* samples, unsigned frames) {
      if (CCaptureEar* to = feeding.load()) to->OnSamples(samples, frames);
    });
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tunwick_capture_latency: %s\n", error.what());
    return 1;
  }
  CCaptureEar ear(player, static_cast<int>(capture.SampleRate()));
  feeding.store(&ear);
  ear.StartTake(0, static_cast<int32_t>(seconds * 1000.0));
  std::fprintf(stderr, "capturing through %s at %u Hz\n", capture.BackendName().c_str(),
               capture.SampleRate());

  std::vector<listening::PitchFrame> frames;
  bool sounding = false;
  double quietSinceMs = 0.0;
  const int64_t endNs = MonotonicNs() + static_cast<int64_t>(seconds * 1e9);
  while (MonotonicNs() < endNs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(CSingBackPanel::kPollMs));
    const size_t before = frames.size();
    ear.TakeFramesFrom(before, frames);
    const int64_t polledNs = MonotonicNs();
    for (size_t i = before; i < frames.size(); ++i) {
      const listening::PitchFrame& frame = frames[i];
      const bool onPitch = frame.voiced && std::fabs(frame.midiCents - expectedMidiCents) < 50.0;
      if (onPitch && !sounding && frame.timeMs - quietSinceMs > 100.0) {
        std::printf("%lld\n", static_cast<long long>(polledNs));
        std::fflush(stdout);
      }
      if (onPitch) {
        sounding = true;
      } else if (sounding) {
        sounding = false;
        quietSinceMs = frame.timeMs;
      }
    }
  }
  feeding.store(nullptr);
  capture.Stop();
  return 0;
}
