#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "listening/PhraseTargets.h"

// Takes made for the tests and benchmarks instead of recorded: the phrase sung by the
// synthesizer's voice or by a sine, with chosen notes off by known cents.
namespace taketest {

constexpr int kRate = 44100;

// General MIDI program 54, Voice Oohs (53 counted from zero).
constexpr int kVoiceOohs = 53;

// How the take differs from the targets.
struct TakeShape {
  std::vector<double> centsPerNote;  // per target (missing ones 0): bent this far
  int32_t semitones = 0;             // the whole take, e.g. 12 for an octave up
  int32_t lateMs = 0;                // silence before the take
  int32_t tailMs = 500;              // silence after it
  double vibratoCents = 0.0;         // sine only: depth of a 5 Hz vibrato
  double level = 0.3;                // sine only: amplitude
};

// The targets sung by the synthesizer's Voice Oohs, legato, each bend sent with a ±2
// semitone bend range before its note. Mono at kRate. Throws when the soundfont is missing.
std::vector<float> VoiceTake(const std::vector<listening::TargetNote>& targets,
                             const TakeShape& shape, const std::string& soundfont);

// The targets as a sine with continuous phase; notes with no target between them are silent.
std::vector<float> SineTake(const std::vector<listening::TargetNote>& targets,
                            const TakeShape& shape);

// A range exercise as notes to sing: a short growl at `growlKey`, then every key from `low`
// to `high` held `noteMs` each, then a short squeak at `squeakKey`; the growl and the squeak
// last `shortMs`, with 200 ms of silence either side of the scale.
std::vector<listening::TargetNote> RangeExercise(int32_t low, int32_t high, int32_t noteMs,
                                                 int32_t growlKey, int32_t squeakKey,
                                                 int32_t shortMs);

// White noise of the given RMS level, seeded.
std::vector<float> Noise(double seconds, double rms, uint32_t seed = 1);

// One note of the voice at `midiNote` held for `seconds`, bent by `cents`.
std::vector<float> VoiceNote(int midiNote, double cents, double seconds,
                             const std::string& soundfont);

// Writes mono samples as a 16-bit WAV at kRate (or `rate`); false when it cannot.
bool WriteWav(const std::string& path, const std::vector<float>& mono, int rate = kRate,
              int channels = 1);

// A reference estimate of the pitch of a steady stretch, independent of aubio: the
// autocorrelation peak of the middle `seconds`, refined by a parabola. MIDI cents.
double ReferenceMidiCents(const std::vector<float>& mono, double fromSeconds, double seconds,
                          double expectedMidiCents);

}  // namespace taketest
