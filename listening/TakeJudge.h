#pragma once

#include <cstdint>
#include <vector>

#include "listening/PhraseTargets.h"
#include "listening/Pitch.h"
#include "listening/TakeLevel.h"

namespace listening {

// How a take is judged.
struct JudgeSettings {
  double hitCents = 50.0;     // a hit is at most this far from the target, either way
  double voicedShare = 0.5;   // ... and voiced for at least this share of the judged span
  double judgedShare = 0.6;   // the middle of each note that is judged
  int32_t maxOffsetMs = 300;  // how early or late the whole take may be
  int32_t offsetStepMs = 1;   // the steps in which that offset is searched
  double passShare = 0.8;     // the share of hits that passes a phrase
  LevelSettings level;        // where a frame is loud enough to count, and a take too quiet

  // The pass line in whole percent (80), as PassesPhrase compares and a chart draws it.
  int32_t PassPercent() const;
};

enum class Verdict {
  kHit,
  kMissed,   // sung, but off pitch or too briefly
  kNotSung,  // no voiced frame in the judged span
};

struct NoteJudgement {
  TargetNote target;
  Verdict verdict = Verdict::kNotSung;
  // The sung pitch against the target (the mean of the middle 90 % of the frames by pitch),
  // each frame folded to the octave nearest the target; 0 when the note was not sung.
  double cents = 0.0;
  // The pitch actually sung, in the octave most of its frames were sung in; 0 when not sung.
  double sungMidiCents = 0.0;
  double voicedShare = 0.0;  // of the judged span, 0 to 1
};

struct TakeJudgement {
  std::vector<NoteJudgement> notes;  // one per target, in order
  // How late the take was sung (negative: early); the notes were judged shifted by it.
  int32_t offsetMs = 0;
  int32_t hits = 0;
  bool nothingHeard = true;  // no voiced frame anywhere in the take
  // The take's level against its own noise. A take too quiet to judge has every note not
  // sung and nothing heard; an overloaded one is judged all the same.
  TakeLevel level;
  double hitCents = 50.0;  // the tolerance it was judged with

  int32_t Judged() const { return static_cast<int32_t>(notes.size()); }
  // No try: too quiet to judge, or silent (TooQuietToJudge).
  bool TooQuiet() const { return TooQuietToJudge(level.verdict); }
};

// Judges a take: finds the constant offset within ±maxOffsetMs that best lines the sung
// pitch up with the targets, then gives each target its verdict. When the frames carry their
// levels, only voiced frames above the take's own gate count, and a take whose voice is not
// clearly above its noise is judged too quiet. `track` need not be sorted;
// throws std::invalid_argument when its hop is not positive.
TakeJudgement JudgeTake(const std::vector<TargetNote>& targets, const PitchTrack& track,
                        const JudgeSettings& settings = {});

// Whether a try passes its phrase: at least PassPercent of its notes hit. A phrase with
// nothing to sing passes, as its HitShare is whole.
bool PassesPhrase(const TakeJudgement& judgement, const JudgeSettings& settings = {});

// A try's share of hits, 0 to 1. A try with no note to judge counts as whole (1), as it
// passes: nothing was missed.
double HitShare(int32_t hits, int32_t notes);
// The same in whole percent, rounded to the nearest (a half up): 100 with no note to judge.
int32_t HitPercent(int32_t hits, int32_t notes);

}  // namespace listening
