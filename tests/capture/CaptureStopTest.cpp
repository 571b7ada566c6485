// Stopping capture never waits on an input that stopped sending: through a private sound
// server whose default input is a pipe source (tests/capture/capture-stop-test.sh starts it
// and names the pipe in TUNWICK_TEST_SOURCE_FIFO), the feed stalls, then the source vanishes,
// and each time Stop returns within a second. Skipped without that server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "capture/AudioCapture.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRate = 44100;

// Writes `seconds` of a quiet tone to the pipe at the pace a microphone records it.
void Feed(int fd, double seconds) {
  const int chunk = kRate / 50;  // 20 ms
  std::vector<int16_t> samples(static_cast<size_t>(chunk));
  for (int written = 0; written < seconds * kRate; written += chunk) {
    for (int i = 0; i < chunk; ++i)
      samples[static_cast<size_t>(i)] =
          static_cast<int16_t>(3000.0 * std::sin(2.0 * M_PI * 440.0 * (written + i) / kRate));
    if (write(fd, samples.data(), samples.size() * sizeof(int16_t)) < 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

TEST(CaptureStopTest, StopReturnsAtOnceWhenTheFeedStallsOrTheSourceVanishes) {
  const char* fifo = std::getenv("TUNWICK_TEST_SOURCE_FIFO");
  if (fifo == nullptr) GTEST_SKIP() << "no private sound server (capture-stop-test.sh)";
  // The server holds the pipe open for reading; the writer keeps it open throughout, so
  // that a stall is a stall and not the end of the file.
  const int fd = open(fifo, O_WRONLY | O_NONBLOCK);
  ASSERT_GE(fd, 0) << fifo;
  for (const char* how : {"stalled", "vanished"}) {
    SCOPED_TRACE(how);
    capture::CAudioCapture capture;
    std::atomic<unsigned> frames{0};
    capture.Start([&frames](const float*, unsigned count) { frames += count; });
    EXPECT_EQ(capture.BackendName(), "PulseAudio");
    Feed(fd, 0.5);
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while (frames == 0 && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GT(frames.load(), 0u) << "the feed reached the capture";
    if (std::string(how) == "vanished") {
      // The microphone goes away, as a headset unplugged does.
      EXPECT_EQ(std::system("pactl unload-module module-pipe-source"), 0);
    }
    // Nothing more is written: the source sends nothing from now on.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const auto before = Clock::now();
    capture.Stop();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - before).count();
    std::printf("Stop with a %s feed took %.1f ms\n", how, ms);
    EXPECT_LT(ms, 1000.0);
    EXPECT_FALSE(capture.Running());
  }
  close(fd);
}

}  // namespace
