#include "listening/TakeJudge.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <stdexcept>

namespace listening {

namespace {

// The frames are lined up with the targets at the normal tolerance whatever the one judged
// with, so that a note's cents do not depend on how strictly it is judged.
constexpr double kAlignmentCents = 50.0;

struct SungFrame {
  double timeMs;
  double midiCents;
};

// How well a frame sung at `midiCents` fits a target of `pitch`, 0 to 100: full within the hit
// range, fading to nothing a semitone beyond it, whatever the octave.
int32_t Fit(double midiCents, int32_t pitch, double hitCents) {
  const double off = std::fabs(FoldToNearestOctave(midiCents - 100.0 * pitch));
  if (off <= hitCents) return 100;
  if (off >= hitCents + 100.0) return 0;
  return static_cast<int32_t>(std::lround(hitCents + 100.0 - off));
}

// The sum of the fits of the frames that fall inside a target once shifted back by `offsetMs`.
// Both lists are in time order, so one walk over each suffices.
int64_t AlignmentScore(const std::vector<TargetNote>& targets, const std::vector<SungFrame>& sung,
                       int32_t offsetMs, double hitCents) {
  int64_t score = 0;
  size_t t = 0;
  for (const SungFrame& frame : sung) {
    const double at = frame.timeMs - offsetMs;
    while (t < targets.size() && targets[t].endMs <= at) ++t;
    if (t == targets.size()) break;
    if (targets[t].startMs <= at) score += Fit(frame.midiCents, targets[t].pitch, hitCents);
  }
  return score;
}

// The offset that lines the sung frames up best with the targets: every kCoarseStepMs first,
// then every offsetStepMs around the best of those. Offsets are tried from 0 outwards, late
// before early, so a tie goes to the smallest shift.
int32_t BestOffset(const std::vector<TargetNote>& targets, const std::vector<SungFrame>& sung,
                   const JudgeSettings& settings) {
  constexpr int32_t kCoarseStepMs = 5;
  std::vector<TargetNote> ordered = targets;
  std::sort(ordered.begin(), ordered.end(),
            [](const TargetNote& a, const TargetNote& b) { return a.startMs < b.startMs; });
  const int32_t limit = std::max(0, settings.maxOffsetMs);
  int32_t best = 0;
  int64_t bestScore = AlignmentScore(ordered, sung, 0, kAlignmentCents);
  auto search = [&](int32_t centre, int32_t reach, int32_t step) {
    for (int32_t shift = step; shift <= reach; shift += step) {
      for (const int32_t offset : {centre + shift, centre - shift}) {
        if (offset < -limit || offset > limit) continue;
        const int64_t score = AlignmentScore(ordered, sung, offset, kAlignmentCents);
        if (score > bestScore || (score == bestScore && std::abs(offset) < std::abs(best))) {
          bestScore = score;
          best = offset;
        }
      }
    }
  };
  const int32_t fine = std::max(1, settings.offsetStepMs);
  search(0, limit, std::max(fine, kCoarseStepMs));
  search(best, std::max(fine, kCoarseStepMs) - 1, fine);
  return best;
}

// The pitch of a note from its frames: the mean of the middle 90 % of them by pitch. A mean
// follows a vibrato and a scoop as the ear averages them (a median lands wherever the
// vibrato happens to dwell); leaving out the highest and lowest twentieth keeps a stray
// frame, or the ring of the note before, from pulling it.
double CentreOf(std::vector<double> folded) {
  constexpr double kTrimmedShare = 0.05;
  std::sort(folded.begin(), folded.end());
  const size_t trim = static_cast<size_t>(kTrimmedShare * static_cast<double>(folded.size()));
  double sum = 0.0;
  for (size_t i = trim; i < folded.size() - trim; ++i) sum += folded[i];
  return sum / static_cast<double>(folded.size() - 2 * trim);
}

NoteJudgement JudgeNote(const TargetNote& target, const std::vector<SungFrame>& sung,
                        int32_t offsetMs, double hopMs, const JudgeSettings& settings) {
  NoteJudgement note;
  note.target = target;
  const double length = static_cast<double>(target.endMs) - target.startMs;
  const double margin = length * (1.0 - settings.judgedShare) / 2.0;
  const double from = target.startMs + margin + offsetMs;
  const double to = target.endMs - margin + offsetMs;

  std::vector<double> folded;
  std::map<int64_t, int32_t> octaves;  // octave shift against the target: frames sung in it
  auto first = std::lower_bound(sung.begin(), sung.end(), from,
                                [](const SungFrame& f, double time) { return f.timeMs < time; });
  for (auto frame = first; frame != sung.end() && frame->timeMs < to; ++frame) {
    const double off = frame->midiCents - 100.0 * target.pitch;
    const double inOctave = FoldToNearestOctave(off);
    folded.push_back(inOctave);
    ++octaves[std::llround((off - inOctave) / 1200.0)];
  }
  if (folded.empty()) return note;

  const double expectedFrames = std::max(1.0, (to - from) / hopMs);
  note.voicedShare = std::min(1.0, static_cast<double>(folded.size()) / expectedFrames);
  note.cents = CentreOf(folded);
  // The octave most frames were sung in; on a tie, the one nearest the target's.
  int64_t octave = 0;
  int32_t most = 0;
  for (const auto& [shift, count] : octaves) {
    if (count > most || (count == most && std::llabs(shift) < std::llabs(octave))) {
      octave = shift;
      most = count;
    }
  }
  note.sungMidiCents = 100.0 * target.pitch + note.cents + 1200.0 * static_cast<double>(octave);
  const bool inTune = std::fabs(note.cents) <= settings.hitCents;
  const bool longEnough = note.voicedShare >= settings.voicedShare;
  note.verdict = inTune && longEnough ? Verdict::kHit : Verdict::kMissed;
  return note;
}

}  // namespace

TakeJudgement JudgeTake(const std::vector<TargetNote>& targets, const PitchTrack& track,
                        const JudgeSettings& settings) {
  if (!(track.hopMs > 0.0)) throw std::invalid_argument("The pitch track has no positive hop.");
  TakeJudgement judgement;
  judgement.hitCents = settings.hitCents;
  judgement.level = MeasureTakeLevel(track, settings.level);
  std::vector<SungFrame> sung;
  for (const PitchFrame& frame : track.frames)
    if (CountsAsSung(frame, judgement.level, settings.level))
      sung.push_back({frame.timeMs, frame.midiCents});
  if (!std::is_sorted(sung.begin(), sung.end(),
                      [](const SungFrame& a, const SungFrame& b) { return a.timeMs < b.timeMs; }))
    std::stable_sort(sung.begin(), sung.end(),
                     [](const SungFrame& a, const SungFrame& b) { return a.timeMs < b.timeMs; });

  judgement.nothingHeard = sung.empty();
  if (!sung.empty() && !targets.empty()) judgement.offsetMs = BestOffset(targets, sung, settings);
  for (const TargetNote& target : targets) {
    judgement.notes.push_back(JudgeNote(target, sung, judgement.offsetMs, track.hopMs, settings));
    if (judgement.notes.back().verdict == Verdict::kHit) ++judgement.hits;
  }
  return judgement;
}

int32_t JudgeSettings::PassPercent() const {
  return static_cast<int32_t>(std::lround(passShare * 100.0));
}

bool PassesPhrase(const TakeJudgement& judgement, const JudgeSettings& settings) {
  // Nothing to sing: nothing missed, so it passes, as HitShare counts it whole.
  if (judgement.Judged() == 0) return true;
  // Compared in whole hundredths, so that 4 of 5 passes at 80 % whatever the rounding.
  return static_cast<int64_t>(judgement.hits) * 100 >=
         static_cast<int64_t>(settings.PassPercent()) * judgement.Judged();
}

double HitShare(int32_t hits, int32_t notes) {
  return notes > 0 ? static_cast<double>(hits) / notes : 1.0;
}

int32_t HitPercent(int32_t hits, int32_t notes) {
  if (notes <= 0) return static_cast<int32_t>(std::lround(100.0 * HitShare(hits, notes)));
  // Multiplied before dividing, so that a share on a half percent (23 of 40) rounds up.
  return static_cast<int32_t>(std::lround(100.0 * hits / notes));
}

}  // namespace listening
