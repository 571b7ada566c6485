#pragma once

#include <string>

#include "capture/PitchTracker.h"
#include "listening/Pitch.h"

namespace capture {

// The longest take read from a file: far beyond any phrase, short of exhausting memory.
constexpr double kLongestTakeSeconds = 3600.0;

struct TakeFileResult {
  bool ok = false;
  std::string error;  // why not, when !ok
  int sampleRate = 0;
  int channels = 0;
  double seconds = 0.0;
  listening::PitchTrack track;
};

// Reads a recorded take (any format libsndfile reads: WAV, FLAC, Ogg, ...), mixes its
// channels down to one and tracks its pitch block by block.
TakeFileResult TrackTakeFile(const std::string& path, const PitchTrackerSettings& settings = {});

}  // namespace capture
