// Writes the cue sound lumo.wav: a short, soft two-note chime (G5 then C6, 0.6 s),
// 44.1 kHz, 16-bit mono PCM. Usage: tunwick_make_lumo <output.wav>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "files/SoundFileWriter.h"

namespace {

constexpr int kRate = 44100;
constexpr double kSeconds = 0.6;
constexpr double kPeak = 0.35;  // about -9 dBFS: heard, never startling
constexpr double kPi = 3.14159265358979323846;

// One struck bell-like note: a few partials, the upper ones dying away faster.
void AddNote(std::vector<double>& out, double start, double frequency) {
  struct Partial {
    double ratio, level, decay;
  };
  const Partial partials[] = {
      {1.0, 1.0, 0.20}, {2.0, 0.22, 0.10}, {3.0, 0.07, 0.06}, {4.2, 0.03, 0.03}};
  const int first = static_cast<int>(start * kRate);
  for (int i = first; i < static_cast<int>(out.size()); ++i) {
    const double t = static_cast<double>(i - first) / kRate;
    const double attack = t < 0.004 ? 0.5 - 0.5 * std::cos(kPi * t / 0.004) : 1.0;
    double value = 0;
    for (const Partial& p : partials)
      value += p.level * std::exp(-t / p.decay) * std::sin(2 * kPi * frequency * p.ratio * t);
    out[i] += attack * value;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output.wav>\n", argv[0]);
    return 2;
  }
  std::vector<double> mix(static_cast<size_t>(kSeconds * kRate), 0.0);
  AddNote(mix, 0.0, 783.99);    // G5
  AddNote(mix, 0.16, 1046.50);  // C6

  // Gentle fade over the last 80 ms so the file ends in silence.
  const int fade = kRate * 8 / 100;
  for (int i = 0; i < fade; ++i) mix[mix.size() - 1 - i] *= static_cast<double>(i) / fade;
  double peak = 0;
  for (double v : mix) peak = std::max(peak, std::fabs(v));

  std::vector<int16_t> samples;
  samples.reserve(mix.size());
  for (double v : mix)
    samples.push_back(static_cast<int16_t>(std::lround(v / peak * kPeak * 32767.0)));
  CSoundFileWriter wav;
  if (!wav.Open(argv[1], kRate, 1) ||
      !wav.Write(samples.data(), static_cast<int64_t>(samples.size())) || !wav.Commit()) {
    std::fprintf(stderr, "%s: %s\n", argv[1], wav.error().c_str());
    return 1;
  }
  return 0;
}
