#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "audio/StreamClock.h"

namespace {

constexpr int kRate = 44100;
constexpr int64_t kMs = 1000000;
constexpr int64_t kStart = 1000 * kMs;  // the steady time of the first measurement
// Measurements come every 256 frames, as the output renders its blocks.
constexpr int64_t kBlockNs = 256 * 1000000000LL / kRate;

// A sound card as the output sees it: the frame heard at a steady time, for a card whose clock
// runs `ppm` fast and a stream that began `latencyMs` after kStart; its reports wobble by up to
// `noiseMs` either way (a fixed pseudo-random sequence).
struct Card {
  double latencyMs = 25.0;
  double ppm = 0.0;
  double noiseMs = 0.0;
  uint32_t seed = 12345;

  double TrueFrame(int64_t ns) const {
    return (static_cast<double>(ns - kStart) / 1e9 * (1.0 + ppm * 1e-6) - latencyMs / 1000.0) *
           kRate;
  }
  double Report(int64_t ns) {
    seed = seed * 1664525u + 1013904223u;
    const double unit = static_cast<double>(seed >> 8) / (1u << 24) * 2.0 - 1.0;  // -1 .. 1
    return TrueFrame(ns) + unit * noiseMs / 1000.0 * kRate;
  }
};

// Feeds the clock the card's reports from kStart until `until` (exclusive), one per block.
int64_t Feed(audio::CStreamClock& clock, Card& card, int64_t from, int64_t until) {
  int64_t t = from;
  for (; t < until; t += kBlockNs) clock.Observe(t, card.Report(t));
  return t;
}

TEST(StreamClockTest, NothingIsKnownBeforeTheFirstMeasurement) {
  audio::CStreamClock clock(kRate);
  EXPECT_EQ(clock.FrameAt(kStart), audio::CStreamClock::kNoFrame);
  EXPECT_EQ(clock.Observations(), 0);
  clock.Observe(kStart, 500.0);
  EXPECT_EQ(clock.FrameAt(kStart), 500);
  EXPECT_EQ(clock.FrameAt(kStart + 10 * kMs), 500 + 441);
  EXPECT_EQ(clock.TimeOf(500 + 441), kStart + 10 * kMs);
}

// An output's first reports can be far off (a stream that has only just started); the line
// takes each of the first ones as it is, so that it is right once they agree.
TEST(StreamClockTest, TheFirstMeasurementsEachSetTheMap) {
  audio::CStreamClock clock(kRate);
  Card card;
  clock.Observe(kStart, card.Report(kStart) + 800);  // 18 ms ahead
  int64_t t = kStart + kBlockNs;
  for (int i = 1; i < audio::CStreamClock::kSettleCount; ++i, t += kBlockNs)
    clock.Observe(t, card.Report(t));
  EXPECT_EQ(clock.Observations(), audio::CStreamClock::kSettleCount);
  EXPECT_NEAR(static_cast<double>(clock.FrameAt(t + 40 * kMs)), card.TrueFrame(t + 40 * kMs), 1.0);
}

// A steady card with noisy reports: once settled, the map holds still, within half a frame
// of the truth's slope, whatever the noise does.
TEST(StreamClockTest, ConstantLatencyGivesAMapThatHoldsStill) {
  for (double noiseMs : {0.0, 0.3, 1.0}) {
    SCOPED_TRACE(noiseMs);
    audio::CStreamClock clock(kRate);
    Card card;
    card.noiseMs = noiseMs;
    int64_t t = Feed(clock, card, kStart, kStart + 1000 * kMs);
    const int64_t probe = kStart + 100000 * kMs;  // a fixed moment well ahead
    const int64_t settled = clock.FrameAt(probe);
    EXPECT_NEAR(static_cast<double>(settled), card.TrueFrame(probe), 0.6 * kRate / 1000)
        << "within the 0.5 ms the map tolerates";
    // Ten more minutes of reports move the map by less than a frame.
    int64_t lowest = settled, highest = settled;
    for (int minute = 0; minute < 10; ++minute) {
      t = Feed(clock, card, t, t + 60000 * kMs);
      lowest = std::min(lowest, clock.FrameAt(probe));
      highest = std::max(highest, clock.FrameAt(probe));
    }
    EXPECT_LE(highest - lowest, 1);
  }
}

// The frame for a due time is the same whether it is asked for on time or up to a tick and
// more late, with the measurements that came in between.
TEST(StreamClockTest, ALateQuestionGetsTheSameFrame) {
  audio::CStreamClock clock(kRate);
  Card card;
  card.noiseMs = 0.3;
  int64_t t = Feed(clock, card, kStart, kStart + 2000 * kMs);
  for (int note = 0; note < 50; ++note) {
    SCOPED_TRACE(note);
    const int64_t due = t + 40 * kMs;
    const int64_t onTime = clock.FrameAt(due);
    t = Feed(clock, card, t, t + 12 * kMs);  // the tick comes 12 ms late
    EXPECT_NEAR(static_cast<double>(clock.FrameAt(due)), static_cast<double>(onTime), 1.0);
    t = Feed(clock, card, t, t + 317 * kMs);
  }
}

// A card whose clock drifts 50 ppm (3 ms a minute) is followed within the tolerance, and the
// map never jumps: frames for due times 10 ms apart stay 441 frames apart, give or take one.
TEST(StreamClockTest, SlowDriftIsFollowedWithoutJumps) {
  for (double ppm : {50.0, -50.0, 200.0}) {
    SCOPED_TRACE(ppm);
    audio::CStreamClock clock(kRate);
    Card card;
    card.ppm = ppm;
    card.noiseMs = 0.3;
    const int64_t begin = kStart + 1000 * kMs;
    int64_t t = Feed(clock, card, kStart, begin);
    int64_t previous = clock.FrameAt(begin);
    double worstError = 0;
    for (int step = 1; step <= 60000; ++step) {  // ten minutes in 10 ms steps
      const int64_t due = begin + step * 10 * kMs;
      t = Feed(clock, card, t, due);
      const int64_t frame = clock.FrameAt(due);
      ASSERT_LE(std::llabs(frame - previous - 441), 1) << "at " << step * 10 << " ms";
      previous = frame;
      if (step > 6000) worstError = std::max(worstError, std::fabs(frame - card.TrueFrame(due)));
    }
    EXPECT_LT(worstError, 1.0 * kRate / 1000) << "frames off after the first minute";
  }
}

// A stream that restarts lies far from the map: one wild report is ignored, a few in a row
// move the map there at once.
TEST(StreamClockTest, ALargeLastingErrorMovesTheMapAtOnce) {
  audio::CStreamClock clock(kRate);
  Card card;
  int64_t t = Feed(clock, card, kStart, kStart + 1000 * kMs);
  const int64_t before = clock.FrameAt(t);
  clock.Observe(t, card.Report(t) - 5000);  // one report 113 ms off
  EXPECT_NEAR(static_cast<double>(clock.FrameAt(t)), static_cast<double>(before), 1.0);
  card.latencyMs += 100;  // the stream now lags 100 ms more
  for (int i = 0; i < audio::CStreamClock::kJumpCount; ++i, t += kBlockNs)
    clock.Observe(t, card.Report(t));
  EXPECT_NEAR(static_cast<double>(clock.FrameAt(t)), card.TrueFrame(t), 2.0);
}

}  // namespace
