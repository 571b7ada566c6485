#include "listening/TakeLevel.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace listening {

namespace {

// The level at `share` (0 to 1) of the way up the sorted `levels`.
double Percentile(std::vector<double> levels, double share) {
  std::sort(levels.begin(), levels.end());
  const size_t at = static_cast<size_t>(share * static_cast<double>(levels.size() - 1));
  return levels[at];
}

// The highest level the frames hold for `held` frames running: a click does not count.
double LoudestHeld(const std::vector<double>& levels, size_t held) {
  held = std::clamp<size_t>(held, 1, levels.size());
  double loudest = kSilentDb;
  for (size_t i = 0; i + held <= levels.size(); ++i)
    loudest = std::max(loudest, *std::min_element(levels.begin() + i, levels.begin() + i + held));
  return loudest;
}

}  // namespace

double DbOfAmplitude(double amplitude) {
  return amplitude > 0.0 ? std::max(kSilentDb, 20.0 * std::log10(amplitude)) : kSilentDb;
}

double DbOfPower(double meanSquare) {
  return meanSquare > 0.0 ? std::max(kSilentDb, 10.0 * std::log10(meanSquare)) : kSilentDb;
}

TakeLevel MeasureTakeLevel(const PitchTrack& track, const LevelSettings& settings) {
  TakeLevel level;
  if (!track.levels || !(track.hopMs > 0.0)) return level;
  std::vector<PitchFrame> frames = track.frames;
  std::stable_sort(frames.begin(), frames.end(),
                   [](const PitchFrame& a, const PitchFrame& b) { return a.timeMs < b.timeMs; });
  std::vector<double> levels, unpitched;
  levels.reserve(frames.size());
  for (const PitchFrame& frame : frames) {
    level.peakDb = std::max(level.peakDb, frame.peakDb);
    level.clippedSamples += frame.clipped;
    levels.push_back(frame.levelDb);
    // Digital silence (a stream's first blocks, a file's padding) is no room's noise.
    const bool pitched = frame.midiCents > 0.0 && frame.confidence >= settings.pitchedConfidence;
    if (!pitched && frame.levelDb > kSilentDb) unpitched.push_back(frame.levelDb);
  }
  if (level.peakDb < kNoSoundPeakDb) {
    level.verdict = LevelVerdict::kSilent;
    return level;
  }
  level.loudestDb =
      LoudestHeld(levels, static_cast<size_t>(std::ceil(settings.loudestHeldMs / track.hopMs)));
  // The noise: the quiet before, between and after the notes, where nothing has a pitch.
  // A take sung from end to end without a break gives no measure of it: then it is taken to
  // be far below the voice.
  if (static_cast<double>(unpitched.size()) * track.hopMs >= settings.leastNoiseMs)
    level.noiseFloorDb = std::min(level.loudestDb, Percentile(unpitched, 0.1));
  // Sung frames stand clear of the noise and within reach of the loudest part; a note sung
  // softly is never gated for standing close to noise measured on breaths and glides.
  level.gateDb = std::min(std::max(level.noiseFloorDb + settings.gateAboveNoiseDb,
                                   level.loudestDb - settings.gateBelowLoudestDb),
                          level.loudestDb - settings.softestNoteDb);

  if (level.clippedSamples > 0) {
    level.verdict = LevelVerdict::kOverloaded;
  } else if (level.peakDb < settings.quietPeakDb &&
             level.SignalToNoiseDb() < settings.leastSignalToNoiseDb) {
    level.verdict = LevelVerdict::kTooQuiet;
  } else {
    level.verdict = LevelVerdict::kGood;
  }
  return level;
}

}  // namespace listening

namespace listening {

bool TooQuietToJudge(LevelVerdict verdict) {
  return verdict == LevelVerdict::kTooQuiet || verdict == LevelVerdict::kSilent;
}

bool CountsAsSung(const PitchFrame& frame, const TakeLevel& level, const LevelSettings& settings) {
  if (!(frame.midiCents > 0.0)) return false;
  if (level.verdict == LevelVerdict::kUnmeasured) return frame.voiced;
  if (TooQuietToJudge(level.verdict) || frame.levelDb < level.gateDb) return false;
  if (frame.voiced) return true;
  if (level.noiseFloorDb <= kSilentDb) return false;
  // A steady tone over noise of 1/r its power repeats itself with a confidence of r / (r + 1).
  const double aboveNoise = frame.levelDb - level.noiseFloorDb;
  if (aboveNoise < settings.gateAboveNoiseDb) return false;
  const double ratio = std::pow(10.0, aboveNoise / 10.0) - 1.0;
  const double allowed = ratio / (ratio + 1.0) - settings.noiseConfidenceMargin;
  return frame.confidence >= std::max(settings.leastConfidence, allowed);
}

}  // namespace listening
