#include "listening/RangeAnalysis.h"

#include <algorithm>
#include <cmath>

namespace listening {

namespace {

struct Voiced {
  double timeMs;
  double midiCents;
};

// Each voiced frame's pitch as the median of the voiced frames within smoothMs of it.
std::vector<Voiced> Smoothed(const std::vector<Voiced>& frames, double smoothMs) {
  std::vector<Voiced> smoothed;
  smoothed.reserve(frames.size());
  std::vector<double> window;
  size_t from = 0;
  size_t to = 0;
  for (const Voiced& frame : frames) {
    while (frames[from].timeMs < frame.timeMs - smoothMs) ++from;
    while (to < frames.size() && frames[to].timeMs <= frame.timeMs + smoothMs) ++to;
    window.clear();
    for (size_t i = from; i < to; ++i) window.push_back(frames[i].midiCents);
    const auto middle = window.begin() + static_cast<std::ptrdiff_t>(window.size() / 2);
    std::nth_element(window.begin(), middle, window.end());
    smoothed.push_back({frame.timeMs, *middle});
  }
  return smoothed;
}

}  // namespace

SungRange FindSungRange(const PitchTrack& track, const RangeSettings& settings) {
  std::vector<Voiced> frames;
  frames.reserve(track.frames.size());
  for (const PitchFrame& frame : track.frames)
    if (frame.voiced && frame.midiCents > 0.0) frames.push_back({frame.timeMs, frame.midiCents});
  std::sort(frames.begin(), frames.end(),
            [](const Voiced& a, const Voiced& b) { return a.timeMs < b.timeMs; });
  const std::vector<Voiced> smoothed = Smoothed(frames, settings.smoothMs);

  SungRange range;
  // The note being held: its key, the first and last frame on it; key 0: none.
  int32_t key = 0;
  double firstMs = 0.0;
  double lastMs = 0.0;
  const auto close = [&] {
    const double lengthMs = lastMs - firstMs + track.hopMs;
    if (key > 0 && lengthMs >= settings.heldMs) range.held.push_back({key, firstMs, lengthMs});
    key = 0;
  };
  for (const Voiced& frame : smoothed) {
    const bool goesOn = key > 0 && frame.timeMs - lastMs <= settings.gapMs &&
                        std::fabs(frame.midiCents - 100.0 * key) <= settings.keepCents;
    if (goesOn) {
      lastMs = frame.timeMs;
      continue;
    }
    close();
    const int32_t nearest = static_cast<int32_t>(std::lround(frame.midiCents / 100.0));
    if (nearest < 1 || nearest > 127 ||
        std::fabs(frame.midiCents - 100.0 * nearest) > settings.steadyCents)
      continue;
    key = nearest;
    firstMs = lastMs = frame.timeMs;
  }
  close();

  if (range.Found()) {
    const auto [low, high] =
        std::minmax_element(range.held.begin(), range.held.end(),
                            [](const HeldNote& a, const HeldNote& b) { return a.key < b.key; });
    range.lowest = low->key;
    range.highest = high->key;
  }
  return range;
}

}  // namespace listening
