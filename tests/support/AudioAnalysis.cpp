#include "tests/support/AudioAnalysis.h"

#include <fluidsynth.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <complex>

namespace audiotest {

bool ReadSound(const std::string& path, Sound& sound) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return false;
  std::vector<float> interleaved(static_cast<size_t>(info.frames) * info.channels);
  const sf_count_t got = sf_readf_float(file, interleaved.data(), info.frames);
  sf_close(file);
  sound.frames = got;
  sound.channels = info.channels;
  sound.rate = info.samplerate;
  sound.format = info.format;
  sound.mono.assign(static_cast<size_t>(got), 0.0f);
  for (sf_count_t i = 0; i < got; ++i) {
    float sum = 0;
    for (int c = 0; c < info.channels; ++c) sum += interleaved[i * info.channels + c];
    sound.mono[i] = sum / info.channels;
  }
  return true;
}

std::vector<double> Onsets(const std::vector<float>& mono, double minGapSeconds) {
  // A struck note starts with a burst of high partials: the second difference brings them
  // out over the steady partials of the notes still sounding (and their beating).
  constexpr int kBlock = 44;  // about 1 ms
  std::vector<float> envelope(mono.size() / kBlock);
  float peak = 0;
  for (size_t b = 0; b < envelope.size(); ++b) {
    float m = 0;
    for (size_t n = std::max<size_t>(b * kBlock, 2); n < (b + 1) * kBlock; ++n)
      m = std::max(m, std::fabs(mono[n] - 2 * mono[n - 1] + mono[n - 2]));
    envelope[b] = m;
    peak = std::max(peak, m);
  }
  std::vector<double> onsets;
  const float floor = 0.1f * peak;
  for (size_t b = 3; b < envelope.size(); ++b) {
    // The level 3 to 12 ms before: far enough back that an attack is not compared with
    // itself, close enough that a decaying note counts.
    float before = 0;
    for (size_t k = b < 12 ? 0 : b - 12; k <= b - 3; ++k) before = std::max(before, envelope[k]);
    if (envelope[b] < floor || envelope[b] < 1.7f * before) continue;
    const double t = static_cast<double>(b * kBlock) / kRate;
    if (!onsets.empty() && t - onsets.back() < minGapSeconds) continue;
    onsets.push_back(t);
  }
  return onsets;
}

int64_t OnsetFrame(const std::vector<float>& mono, double onsetSeconds) {
  const int64_t centre = static_cast<int64_t>(onsetSeconds * kRate);
  const int64_t from = std::max<int64_t>(2, centre - 2 * 44);
  const int64_t to = std::min<int64_t>(static_cast<int64_t>(mono.size()), centre + 3 * 44);
  const auto d2 = [&](int64_t n) { return std::fabs(mono[n] - 2 * mono[n - 1] + mono[n - 2]); };
  float peak = 0;
  for (int64_t n = from; n < to; ++n) peak = std::max(peak, d2(n));
  for (int64_t n = from; n < to; ++n)
    if (d2(n) >= 0.5f * peak) return n;
  return centre;
}

namespace {

constexpr int kWindow = 4096;  // 93 ms: 10.8 Hz bins

// Magnitude spectrum of a Hann-windowed stretch starting at `start` (zeros outside the signal).
std::vector<double> Spectrum(const std::vector<float>& mono, int64_t start) {
  std::vector<std::complex<double>> x(kWindow);
  for (int i = 0; i < kWindow; ++i) {
    const int64_t n = start + i;
    const double sample = n >= 0 && n < static_cast<int64_t>(mono.size()) ? mono[n] : 0.0;
    x[i] = sample * (0.5 - 0.5 * std::cos(2 * M_PI * i / (kWindow - 1)));
  }
  // Iterative radix-2 FFT.
  for (int i = 1, j = 0; i < kWindow; ++i) {
    int bit = kWindow >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  for (int length = 2; length <= kWindow; length <<= 1) {
    const std::complex<double> step = std::polar(1.0, -2 * M_PI / length);
    for (int i = 0; i < kWindow; i += length) {
      std::complex<double> w(1.0);
      for (int k = 0; k < length / 2; ++k, w *= step) {
        const std::complex<double> even = x[i + k], odd = x[i + k + length / 2] * w;
        x[i + k] = even + odd;
        x[i + k + length / 2] = even - odd;
      }
    }
  }
  std::vector<double> magnitude(kWindow / 2);
  for (int k = 0; k < kWindow / 2; ++k) magnitude[k] = std::abs(x[k]);
  return magnitude;
}

}  // namespace

double PitchOfNewNote(const std::vector<float>& mono, double onsetSeconds) {
  const int64_t onset = static_cast<int64_t>(onsetSeconds * kRate);
  const std::vector<double> before = Spectrum(mono, onset - kWindow - kRate / 200);
  const std::vector<double> after = Spectrum(mono, onset + kRate / 50);
  // What the note added: partials of the notes already sounding only fade.
  std::vector<double> added(after.size());
  for (size_t k = 0; k < added.size(); ++k) added[k] = std::max(0.0, after[k] - before[k]);
  const int low = static_cast<int>(60.0 * kWindow / kRate);
  const int high = static_cast<int>(2000.0 * kWindow / kRate);
  double strongest = 0;
  for (int k = low; k <= high; ++k) strongest = std::max(strongest, added[k]);
  if (strongest <= 0) return 0;
  // The lowest strong peak is the fundamental; refine it by a parabola through log magnitudes.
  for (int k = low; k <= high; ++k) {
    if (added[k] >= 0.25 * strongest && added[k] >= added[k - 1] && added[k] >= added[k + 1]) {
      const double a = std::log(after[k - 1] + 1e-12), b = std::log(after[k] + 1e-12),
                   c = std::log(after[k + 1] + 1e-12);
      const double denominator = a - 2 * b + c;
      const double offset = denominator != 0 ? 0.5 * (a - c) / denominator : 0;
      return (k + offset) * kRate / kWindow;
    }
  }
  return 0;
}

double MidiFrequency(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

double CorrelationAt(const std::vector<float>& signal, int64_t startFrame,
                     const std::vector<float>& pattern) {
  if (startFrame < 0 ||
      startFrame + static_cast<int64_t>(pattern.size()) > static_cast<int64_t>(signal.size()))
    return 0;
  double sum = 0, a = 0, b = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const double s = signal[startFrame + i];
    sum += s * pattern[i];
    a += s * s;
    b += pattern[i] * pattern[i];
  }
  return a > 0 && b > 0 ? sum / std::sqrt(a * b) : 0;
}

std::vector<float> RenderAttack(const std::string& soundfont, const std::vector<int>& keys) {
  constexpr int kFrames = kRate / 50;
  for (int level : {FLUID_WARN, FLUID_INFO, FLUID_DBG})
    fluid_set_log_function(level, nullptr, nullptr);
  fluid_settings_t* settings = new_fluid_settings();
  fluid_settings_setnum(settings, "synth.sample-rate", kRate);
  fluid_synth_t* synth = new_fluid_synth(settings);
  std::vector<float> attack;
  if (synth != nullptr && fluid_synth_sfload(synth, soundfont.c_str(), 1) != FLUID_FAILED) {
    for (int key : keys) fluid_synth_noteon(synth, 0, key, 127);
    std::vector<float> left(kFrames), right(kFrames);
    fluid_synth_write_float(synth, kFrames, left.data(), 0, 1, right.data(), 0, 1);
    float previous = 0;
    for (int n = 0; n < kFrames; ++n) {
      const float mono = 0.5f * (left[n] + right[n]);
      attack.push_back(mono - previous);
      previous = mono;
    }
  }
  if (synth != nullptr) delete_fluid_synth(synth);
  delete_fluid_settings(settings);
  return attack;
}

AttackSearch::AttackSearch(const std::vector<float>& mono)
    : change_(mono.size()), energy_(mono.size() + 1, 0.0) {
  for (size_t n = 0; n < mono.size(); ++n) {
    change_[n] = mono[n] - (n > 0 ? mono[n - 1] : 0.0f);
    energy_[n + 1] = energy_[n] + change_[n] * change_[n];
  }
}

int64_t AttackSearch::Find(const std::vector<float>& attack, int64_t from, int64_t to, double least,
                           bool first, double& fit) const {
  double attackEnergy = 0;
  for (float v : attack) attackEnergy += v * v;
  fit = 0;
  int64_t best = -1;
  for (int64_t at = std::max<int64_t>(0, from); at < to; ++at) {
    const double here = Fit(attack, attackEnergy, at);
    if (here > fit) {
      fit = here;
      best = at;
    }
    if (first && fit >= least) to = std::min(to, best + kRate / 500);
  }
  return fit >= least ? best : -1;
}

double AttackSearch::Fit(const std::vector<float>& attack, double attackEnergy, int64_t at) const {
  if (at + static_cast<int64_t>(attack.size()) > static_cast<int64_t>(change_.size())) return 0.0;
  // Eight running sums let the compiler keep the products in vector registers.
  float partial[8] = {};
  const float* x = change_.data() + at;
  const size_t whole = attack.size() / 8 * 8;
  for (size_t j = 0; j < whole; j += 8)
    for (int lane = 0; lane < 8; ++lane) partial[lane] += x[j + lane] * attack[j + lane];
  double dot = 0;
  for (float p : partial) dot += p;
  for (size_t j = whole; j < attack.size(); ++j) dot += x[j] * attack[j];
  const double there = energy_[at + attack.size()] - energy_[at];
  return there > 0 && attackEnergy > 0 ? dot / std::sqrt(there * attackEnergy) : 0.0;
}

}  // namespace audiotest
