#pragma once

#include <cstdint>

#include "listening/Pitch.h"

namespace listening {

// A sample at least this far up counts as full scale: the input clipped there.
constexpr double kFullScale = 0.999;
// The level given to a stretch of digital silence, in dB below full scale.
constexpr double kSilentDb = -200.0;
// A take whose every sample stays below this heard nothing: no microphone, however quiet the
// room, stays under one step of a 16-bit input (-90.3 dBFS). A muted or unplugged input
// sends zeros, or a converter's last bit.
constexpr double kNoSoundPeakDb = -90.0;

// dB below full scale of an amplitude (`amplitude` <= 0: kSilentDb).
double DbOfAmplitude(double amplitude);
// The same for a mean square.
double DbOfPower(double meanSquare);

// How a take's level is judged against its own noise.
struct LevelSettings {
  // The voice's loudest part must stand this far above the take's noise floor for the take
  // to be judged: less, and its quieter notes sink into the noise one by one.
  double leastSignalToNoiseDb = 15.0;
  // A take this much below full scale may be too quiet; above it, the input is loud enough,
  // and what drowns the voice is noise.
  double quietPeakDb = -20.0;
  // A frame counts as sung only this far above the noise floor ...
  double gateAboveNoiseDb = 6.0;
  // ... and at most this far below the take's loudest part; a note no further below it than
  // softestNoteDb is never gated.
  double gateBelowLoudestDb = 40.0;
  double softestNoteDb = 20.0;
  // The loudest part is held at least this long; the noise floor is measured over frames
  // without a pitch, when there are at least this many milliseconds of them.
  double loudestHeldMs = 50.0;
  double leastNoiseMs = 100.0;
  // A confidence below this is no pitch, for the noise floor, and no voice ...
  double pitchedConfidence = 0.8;
  // ... except close to the noise, which lowers the confidence of a steady voice: there a
  // frame is sung with the confidence the noise leaves it, less this, and at least the least.
  double noiseConfidenceMargin = 0.1;
  double leastConfidence = 0.5;
};

enum class LevelVerdict {
  kUnmeasured,  // the frames carry no levels
  kGood,
  kTooQuiet,    // the voice is not clearly above the noise of a quiet input: nothing is judged
  kOverloaded,  // samples reached full scale; judged all the same
  kSilent,      // digital silence: no sound reached the take at all; nothing is judged
};

// Whether a take of this level is no try of the learner's: too quiet to judge, or silent.
// Such a take is not kept, and the exercise gives the same try again.
bool TooQuietToJudge(LevelVerdict verdict);

// A take's level, measured on its own frames.
struct TakeLevel {
  LevelVerdict verdict = LevelVerdict::kUnmeasured;
  double peakDb = kSilentDb;        // the highest sample
  double loudestDb = kSilentDb;     // the loudest part, held loudestHeldMs (window RMS)
  double noiseFloorDb = kSilentDb;  // the quiet between and around the singing (window RMS)
  double gateDb = kSilentDb;        // frames below this are not sung
  int64_t clippedSamples = 0;

  double SignalToNoiseDb() const { return loudestDb - noiseFloorDb; }
};

// Measures the level of a take from the levels its frames carry.
TakeLevel MeasureTakeLevel(const PitchTrack& track, const LevelSettings& settings = {});

// Whether a frame of a take of `level` is sung: a pitch above the gate that the tracker
// stands by, or, within a few dB of a measured noise floor, as sure as that noise allows.
bool CountsAsSung(const PitchFrame& frame, const TakeLevel& level,
                  const LevelSettings& settings = {});

}  // namespace listening
