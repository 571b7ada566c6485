#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A small onset and pitch detector for the render tests: enough to tell when a piano note
// starts and which note it is, with no dependence on the code under test.
namespace audiotest {

constexpr int kRate = 44100;

struct Sound {
  std::vector<float> mono;  // left and right averaged, in [-1, 1]
  int64_t frames = 0;
  int channels = 0;
  int rate = 0;
  int format = 0;  // libsndfile's format word
};

// Reads a sound file through libsndfile; false when it cannot.
bool ReadSound(const std::string& path, Sound& sound);

// Onset times in seconds: where the 1 ms peak envelope of the second difference jumps well above
// the level just before it. Onsets closer than `minGapSeconds` to the previous one are merged.
std::vector<double> Onsets(const std::vector<float>& mono, double minGapSeconds = 0.05);

// The frame where the attack found near `onsetSeconds` (by Onsets) begins, to the sample: the
// first frame whose second difference reaches half the attack's peak. Attacks of the same
// note give the same offset, so differences between them are exact.
int64_t OnsetFrame(const std::vector<float>& mono, double onsetSeconds);

// The fundamental frequency of the note that starts at `onsetSeconds`: the lowest strong
// partial the spectrum gained against the stretch just before; 0 when none.
double PitchOfNewNote(const std::vector<float>& mono, double onsetSeconds);

double MidiFrequency(int note);

// Normalized correlation of `signal` from `startFrame` with the whole of `pattern`.
double CorrelationAt(const std::vector<float>& signal, int64_t startFrame,
                     const std::vector<float>& pattern);

// The first 20 ms of `keys` struck at velocity 127 on a fresh synthesizer with `soundfont`
// (FluidSynth's own settings at 44.1 kHz), channels averaged, as a first difference: sample 0
// is the frame the synthesizer started the notes on. Empty when the soundfont does not load.
std::vector<float> RenderAttack(const std::string& soundfont, const std::vector<int>& keys);

// Where a rendered attack starts in a recording, to the sample: the normalized correlation of
// the attack with the recording's first difference. It finds a note under the notes still
// sounding, whatever its level, and the same way for every pitch.
class AttackSearch {
 public:
  explicit AttackSearch(const std::vector<float>& mono);

  // The start in [from, to) where `attack` fits best; with `first`, the first start where it
  // fits at least `least`, then the best in the 2 ms after that. -1 when it fits nowhere at
  // least `least`. `fit` is the correlation at the start returned (or the best seen).
  int64_t Find(const std::vector<float>& attack, int64_t from, int64_t to, double least, bool first,
               double& fit) const;

 private:
  double Fit(const std::vector<float>& attack, double attackEnergy, int64_t at) const;

  std::vector<float> change_;   // first difference of the recording
  std::vector<double> energy_;  // running sum of change_ squared
};

}  // namespace audiotest
