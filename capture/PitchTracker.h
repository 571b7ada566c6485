#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "listening/Pitch.h"

namespace capture {

// The sample rates pitch is tracked at.
constexpr int kLowestTrackedRate = 8000;
constexpr int kHighestTrackedRate = 192000;

struct PitchTrackerSettings {
  // Hops quieter than this give no pitch (aubio's silence gate), in dB below full scale: low
  // enough for a quiet microphone, whose voice is told from its noise by the judge, which
  // measures each take's own noise floor.
  double silenceDb = -90.0;
  // A pitch counts as voiced when the confidence in it reaches this: 1 less the window's
  // normalised difference from itself one period later (1 for a steady tone, about 0 for
  // noise).
  double minConfidence = 0.8;
};

// Pitch of a mono signal, frame by frame, with aubio's "yinfft" method: a window of about
// 46 ms (at least two periods of a low male voice) moved on by a hop of at most 6 ms.
// yinfft's period is then refined on the window itself, and its confidence measured there:
// the window's taper pulls yinfft's estimate sharp on tones with few partials (15 cents on
// a 220 Hz sine, 80 cents at 110 Hz), and this aubio's yinfft reports a confidence of 0
// for all but the shortest periods. Not thread-safe; feed it from one thread.
class CPitchTracker {
 public:
  // Throws std::invalid_argument for a rate outside 8000 to 192000 Hz, std::runtime_error
  // with aubio's text when aubio refuses.
  explicit CPitchTracker(int sampleRate, const PitchTrackerSettings& settings = {});
  ~CPitchTracker();
  CPitchTracker(const CPitchTracker&) = delete;
  CPitchTracker& operator=(const CPitchTracker&) = delete;

  int SampleRate() const { return sampleRate_; }
  int HopSize() const { return hopSize_; }
  int WindowSize() const { return windowSize_; }
  double HopMs() const { return 1000.0 * hopSize_ / sampleRate_; }

  // Feeds `count` samples in [-1, 1] and appends a frame to `out` for each hop completed. A
  // frame is timed at the middle of its window, counted from the first sample fed, and
  // carries the window's level and its hop's peak.
  void Feed(const float* samples, size_t count, std::vector<listening::PitchFrame>& out);

 private:
  void MeasureLevel(listening::PitchFrame& frame) const;

  int sampleRate_;
  int hopSize_;
  int windowSize_;
  PitchTrackerSettings settings_;
  struct Aubio;  // aubio's objects
  std::unique_ptr<Aubio> aubio_;
  std::vector<float> window_;  // the latest windowSize samples, oldest first
  size_t filled_ = 0;          // samples of the current hop
  long long consumed_ = 0;     // samples fed through aubio so far
};

// The pitch track of a whole mono signal.
listening::PitchTrack TrackPitch(const float* samples, size_t count, int sampleRate,
                                 const PitchTrackerSettings& settings = {});

}  // namespace capture
