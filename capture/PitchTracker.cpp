#include "capture/PitchTracker.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "capture/AubioLibrary.h"
#include "capture/AubioLog.h"
#include "listening/TakeLevel.h"

namespace capture {

namespace {

constexpr double kLongestHopSeconds = 0.006;
constexpr double kShortestWindowSeconds = 0.040;

int PowerOfTwoAtMost(double value) {
  int power = 1;
  while (power * 2 <= value) power *= 2;
  return power;
}

int PowerOfTwoAtLeast(double value) {
  int power = 1;
  while (power < value) power *= 2;
  return power;
}

// Normalised difference of `window` from itself `lag` samples later over `span` samples:
// 0 for a signal of that period, about 1 for an unrelated one.
double Difference(const float* window, int span, int lag) {
  double difference = 0.0, energy = 0.0;
  for (int j = 0; j < span; ++j) {
    const double a = window[j], b = window[j + lag];
    difference += (a - b) * (a - b);
    energy += a * a + b * b;
  }
  return energy > 0.0 ? difference / energy : 1.0;
}

struct Repeat {
  double lag;         // in samples, between samples where the parabola puts it
  double difference;  // at the best whole lag
};

// The lag where the window best repeats, found by walking downhill from `period` (at most
// `reach` samples either way), then placed between samples by a parabola.
Repeat BestRepeat(const std::vector<float>& window, double period, int reach) {
  const int start = static_cast<int>(std::lround(period));
  const int high = start + reach + 1;
  const int span = static_cast<int>(window.size()) - high;
  if (start - reach < 2 || span < high) return {period, 1.0};  // less than two periods fit
  // The two stretches compared lie either side of one centre whatever the lag, so that a
  // voice swelling or fading over the window weighs the same at every lag: compared from a
  // fixed start, the later stretch grows quieter with the lag, and the noise in the window
  // tilts the normalised difference towards short periods (a sharp pull of several cents).
  auto at = [&](int lag) { return Difference(window.data() + (high - lag) / 2, span, lag); };
  int best = start;
  double value = at(best);
  double before = at(best - 1), after = at(best + 1);
  while (before < value && best - 1 > start - reach) {
    after = value;
    value = before;
    before = at(--best - 1);
  }
  while (after < value && best + 1 < start + reach) {
    before = value;
    value = after;
    after = at(++best + 1);
  }
  // Noise roughens the difference from lag to lag, and the walk can stop in a ripple short of
  // the true dip: the dip is the lowest lag within 3 % (about 50 cents) of where it stopped.
  const int around = std::max(2, static_cast<int>(period * 0.03));
  for (int lag = std::max(start - reach + 1, best - around);
       lag <= std::min(start + reach - 1, best + around); ++lag) {
    if (lag == best) continue;
    const double candidate = at(lag);
    if (candidate < value) {
      value = candidate;
      best = lag;
    }
  }
  before = at(best - 1);
  after = at(best + 1);
  const double curvature = before - 2.0 * value + after;
  const double shift = curvature > 0.0 ? 0.5 * (before - after) / curvature : 0.0;
  return {best + std::clamp(shift, -0.5, 0.5), value};
}

struct Refined {
  double hz;
  double confidence;
};

// yinfft's pitch refined on the window: the best period within 25 % of its own, or a half or
// a third of that when the window repeats as well there (yinfft now and then reports a high
// note an octave or a twelfth low).
Refined Refine(const std::vector<float>& window, int rate, double hz) {
  const double period = rate / hz;
  Repeat found = BestRepeat(window, period, static_cast<int>(period * 0.25) + 2);
  for (int divisor : {3, 2}) {
    const double shorter = period / divisor;
    if (shorter < 2.0) continue;
    const Repeat candidate = BestRepeat(window, shorter, static_cast<int>(shorter * 0.25) + 1);
    if (candidate.difference <= found.difference + 0.05) {
      found = candidate;
      break;
    }
  }
  return {rate / found.lag, std::clamp(1.0 - found.difference, 0.0, 1.0)};
}

}  // namespace

struct CPitchTracker::Aubio {
  const AubioLibrary& library = capture::Aubio();
  aubio_pitch_t* pitch = nullptr;
  fvec_t* hop = nullptr;
  fvec_t* result = nullptr;
  ~Aubio() {
    if (pitch != nullptr) library.deletePitch(pitch);
    if (hop != nullptr) library.deleteVector(hop);
    if (result != nullptr) library.deleteVector(result);
  }
};

CPitchTracker::CPitchTracker(int sampleRate, const PitchTrackerSettings& settings)
    : sampleRate_(sampleRate), settings_(settings) {
  if (sampleRate < kLowestTrackedRate || sampleRate > kHighestTrackedRate)
    throw std::invalid_argument("Pitch is tracked at 8000 to 192000 samples a second, not " +
                                std::to_string(sampleRate) + ".");
  // Powers of two: 256 and 2048 at 44.1 and 48 kHz (5.8 and 5.3 ms hops, 46 and 43 ms windows).
  hopSize_ = PowerOfTwoAtMost(sampleRate * kLongestHopSeconds);
  windowSize_ = PowerOfTwoAtLeast(sampleRate * kShortestWindowSeconds);
  CaptureAubioLog();
  TakeAubioError();
  auto aubio = std::make_unique<Aubio>();
  aubio->pitch =
      aubio->library.newPitch("yinfft", static_cast<uint_t>(windowSize_),
                              static_cast<uint_t>(hopSize_), static_cast<uint_t>(sampleRate));
  aubio->hop = aubio->library.newVector(static_cast<uint_t>(hopSize_));
  aubio->result = aubio->library.newVector(1);
  if (aubio->pitch == nullptr || aubio->hop == nullptr || aubio->result == nullptr) {
    const std::string error = TakeAubioError();
    throw std::runtime_error(error.empty() ? "The pitch tracker could not be created." : error);
  }
  aubio->library.pitchSetUnit(aubio->pitch, "Hz");
  aubio->library.pitchSetSilence(aubio->pitch, static_cast<smpl_t>(settings.silenceDb));
  aubio_ = std::move(aubio);
  window_.assign(static_cast<size_t>(windowSize_), 0.0f);
}

CPitchTracker::~CPitchTracker() = default;

void CPitchTracker::Feed(const float* samples, size_t count,
                         std::vector<listening::PitchFrame>& out) {
  for (size_t i = 0; i < count;) {
    const size_t take = std::min(count - i, static_cast<size_t>(hopSize_) - filled_);
    for (size_t k = 0; k < take; ++k) aubio_->hop->data[filled_ + k] = samples[i + k];
    std::copy(samples + i, samples + i + take, window_.end() - hopSize_ + filled_);
    filled_ += take;
    i += take;
    if (filled_ < static_cast<size_t>(hopSize_)) break;
    filled_ = 0;
    aubio_->library.pitchDo(aubio_->pitch, aubio_->hop, aubio_->result);
    consumed_ += hopSize_;
    const double found = aubio_->result->data[0];

    listening::PitchFrame frame;
    frame.timeMs = 1000.0 * (static_cast<double>(consumed_) - windowSize_ / 2.0) / sampleRate_;
    MeasureLevel(frame);
    // Under the silence gate, or with no clear period, yinfft reports no pitch at all.
    if (found > 0.0) {
      const Refined refined = Refine(window_, sampleRate_, found);
      frame.midiCents = listening::MidiCentsOfFrequency(refined.hz);
      frame.confidence = refined.confidence;
      frame.voiced = refined.confidence >= settings_.minConfidence;
    }
    out.push_back(frame);
    // The window moves on by a hop.
    std::copy(window_.begin() + hopSize_, window_.end(), window_.begin());
  }
}

void CPitchTracker::MeasureLevel(listening::PitchFrame& frame) const {
  double energy = 0.0;
  for (const float sample : window_) energy += static_cast<double>(sample) * sample;
  frame.levelDb = listening::DbOfPower(energy / static_cast<double>(window_.size()));
  float peak = 0.0f;
  for (auto sample = window_.end() - hopSize_; sample != window_.end(); ++sample) {
    const float magnitude = std::fabs(*sample);
    peak = std::max(peak, magnitude);
    if (magnitude >= listening::kFullScale) ++frame.clipped;
  }
  frame.peakDb = listening::DbOfAmplitude(peak);
}

listening::PitchTrack TrackPitch(const float* samples, size_t count, int sampleRate,
                                 const PitchTrackerSettings& settings) {
  CPitchTracker tracker(sampleRate, settings);
  listening::PitchTrack track;
  track.hopMs = tracker.HopMs();
  track.levels = true;
  track.frames.reserve(count / static_cast<size_t>(tracker.HopSize()) + 1);
  tracker.Feed(samples, count, track.frames);
  return track;
}

}  // namespace capture
