// Capture from the default input: blocks arrive where an input device answers; where none
// does (as on a build machine), Start says so and nothing runs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "capture/AudioCapture.h"

namespace {

TEST(AudioCaptureTest, StartsOnTheDefaultInputOrSaysThereIsNone) {
  capture::CAudioCapture capture;
  std::atomic<unsigned> frames{0};
  try {
    capture.Start([&frames](const float*, unsigned count) { frames += count; });
  } catch (const capture::AudioCaptureError& error) {
    EXPECT_EQ(std::string(error.what()).rfind(capture::kNoInputDeviceMessage, 0), 0u)
        << error.what();
    EXPECT_FALSE(capture.Running());
    EXPECT_EQ(capture.SampleRate(), 0u);
    GTEST_SKIP() << "no input device here: " << error.what();
  }
  EXPECT_TRUE(capture.Running());
  EXPECT_GT(capture.SampleRate(), 0u);
  EXPECT_FALSE(capture.BackendName().empty());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (frames == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_GT(frames.load(), 0u) << "no block from " << capture.BackendName();
  capture.Stop();
  EXPECT_FALSE(capture.Running());
  // Stopped means stopped: the sink is called no more.
  const unsigned after = frames;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(frames.load(), after);
}

TEST(AudioCaptureTest, StoppingWhatNeverStartedIsHarmless) {
  capture::CAudioCapture capture;
  capture.Stop();
  capture.Stop();
  EXPECT_FALSE(capture.Running());
}

}  // namespace
