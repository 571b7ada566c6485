// The pitch tracker on sines of known pitch: accuracy across the singing range and sample
// rates, the hop, the silence gate, frame timing, and feeding in pieces.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "capture/PitchTracker.h"
#include "tests/capture/SyntheticTakes.h"

namespace {

using listening::PitchFrame;
using listening::PitchTrack;

std::vector<float> Sine(double hz, double seconds, int rate, double level = 0.3,
                        double silentSeconds = 0.0) {
  std::vector<float> mono(static_cast<size_t>((silentSeconds + seconds) * rate), 0.0f);
  const size_t from = static_cast<size_t>(silentSeconds * rate);
  for (size_t n = from; n < mono.size(); ++n)
    mono[n] = static_cast<float>(level * std::sin(2 * M_PI * hz * (n - from) / rate));
  return mono;
}

std::vector<double> VoicedErrors(const PitchTrack& track, double midiCents) {
  std::vector<double> errors;
  for (const PitchFrame& frame : track.frames)
    if (frame.voiced) errors.push_back(std::fabs(frame.midiCents - midiCents));
  return errors;
}

double Median(std::vector<double> values) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

TEST(PitchTrackerTest, SinesAcrossTheSingingRangeAndRates) {
  const int rates[] = {8000, 16000, 22050, 44100, 48000, 96000};
  // E2 (a low bass) to C6 (a soprano's top), and pitches between the semitones.
  const double notes[] = {40.0, 45.5, 52.0, 60.0, 64.3, 69.0, 76.0, 81.7, 84.0};
  for (int rate : rates) {
    for (double note : notes) {
      const double hz = listening::FrequencyOfMidiCents(100.0 * note);
      const std::vector<float> mono = Sine(hz, 1.0, rate);
      const PitchTrack track = capture::TrackPitch(mono.data(), mono.size(), rate);
      const std::vector<double> errors = VoicedErrors(track, 100.0 * note);
      EXPECT_GT(errors.size(), track.frames.size() * 8 / 10) << rate << " Hz, note " << note;
      EXPECT_LE(Median(errors), 3.0) << rate << " Hz, note " << note;
    }
  }
}

TEST(PitchTrackerTest, HopsAreAtMostSixMilliseconds) {
  const struct {
    int rate, hop;
  } cases[] = {{8000, 32}, {16000, 64}, {22050, 128}, {44100, 256}, {48000, 256}, {96000, 512}};
  for (const auto& c : cases) {
    const capture::CPitchTracker tracker(c.rate);
    EXPECT_EQ(tracker.HopSize(), c.hop) << c.rate;
    EXPECT_LE(tracker.HopMs(), 6.0) << c.rate;
    EXPECT_GE(tracker.WindowSize() * 1000.0 / c.rate, 40.0) << c.rate;
  }
  for (int rate : {0, 7999, 192001, -44100})
    EXPECT_THROW(capture::CPitchTracker tracker(rate), std::invalid_argument) << rate;
}

TEST(PitchTrackerTest, TheSilenceGateAndTheConfidence) {
  const int rate = taketest::kRate;
  const struct {
    const char* name;
    std::vector<float> mono;
    bool voiced;
  } cases[] = {
      {"silence", std::vector<float>(rate, 0.0f), false},
      {"a sine at -20 dB", Sine(220.0, 1.0, rate, 0.1), true},
      {"a sine at -40 dB", Sine(220.0, 1.0, rate, 0.01), true},
      // A quiet microphone's voice is tracked; the judge weighs it against the take's noise.
      {"a sine at -60 dB", Sine(220.0, 1.0, rate, 0.001), true},
      {"a sine at -100 dB, under the gate", Sine(220.0, 1.0, rate, 0.00001), false},
      {"white noise at -10 dB", taketest::Noise(2.0, 0.3), false},
      {"white noise at -30 dB", taketest::Noise(2.0, 0.03, 2), false},
  };
  for (const auto& c : cases) {
    const PitchTrack track = capture::TrackPitch(c.mono.data(), c.mono.size(), rate);
    const auto voiced = std::count_if(track.frames.begin(), track.frames.end(),
                                      [](const PitchFrame& frame) { return frame.voiced; });
    if (c.voiced) {
      EXPECT_GT(voiced, static_cast<long>(track.frames.size() * 8 / 10)) << c.name;
    } else {
      EXPECT_EQ(voiced, 0) << c.name;
    }
  }
}

TEST(PitchTrackerTest, FramesAreTimedAtTheMiddleOfTheirWindow) {
  // A sine that starts after half a second: voiced from about then, give or take a hop and
  // the part of the window the onset must fill.
  const int rate = taketest::kRate;
  const std::vector<float> mono = Sine(330.0, 1.0, rate, 0.3, 0.5);
  const PitchTrack track = capture::TrackPitch(mono.data(), mono.size(), rate);
  const auto first = std::find_if(track.frames.begin(), track.frames.end(),
                                  [](const PitchFrame& frame) { return frame.voiced; });
  ASSERT_NE(first, track.frames.end());
  EXPECT_NEAR(first->timeMs, 500.0, 25.0);
  // Consecutive frames one hop apart.
  for (size_t i = 1; i < track.frames.size(); ++i)
    ASSERT_NEAR(track.frames[i].timeMs - track.frames[i - 1].timeMs, track.hopMs, 1e-9);
}

TEST(PitchTrackerTest, FeedingInPiecesGivesTheSameFrames) {
  const int rate = taketest::kRate;
  const std::vector<float> mono = Sine(247.0, 0.5, rate);
  const PitchTrack whole = capture::TrackPitch(mono.data(), mono.size(), rate);
  capture::CPitchTracker tracker(rate);
  std::vector<PitchFrame> pieces;
  // Blocks of every size the sound system might hand over, hop-sized ones among them.
  const size_t sizes[] = {1, 7, 256, 100, 441, 4096, 3};
  for (size_t at = 0, k = 0; at < mono.size(); ++k) {
    const size_t count = std::min(sizes[k % 7], mono.size() - at);
    tracker.Feed(mono.data() + at, count, pieces);
    at += count;
  }
  ASSERT_EQ(pieces.size(), whole.frames.size());
  for (size_t i = 0; i < pieces.size(); ++i) {
    EXPECT_EQ(pieces[i].timeMs, whole.frames[i].timeMs) << i;
    EXPECT_EQ(pieces[i].midiCents, whole.frames[i].midiCents) << i;
    EXPECT_EQ(pieces[i].voiced, whole.frames[i].voiced) << i;
  }
}

}  // namespace
