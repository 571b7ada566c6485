// Judging a take from its pitch frames: each note's verdict and cents, the offset found for a
// late or early take, octaves, silence, and the pass rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

#include "listening/TakeJudge.h"

namespace {

using namespace listening;

constexpr double kHopMs = 5.0;

// C4 D4 E4 F4, half a second each.
const std::vector<TargetNote> kTargets = {
    {0, 60, 0, 500}, {1, 62, 500, 1000}, {2, 64, 1000, 1500}, {3, 65, 1500, 2000}};

// How one note was sung: its pitch against the target, how much of the judged middle was
// voiced, a 5 Hz vibrato's depth, and what the start and end fifths of the note held.
struct Sung {
  double cents = 0.0;
  double voiced = 1.0;
  double vibratoCents = 0.0;
  double glideCents = 0.0;  // the first fifth of the note sung this far off
};

// A take: every note sung as described, the whole take `lateMs` late, frames every 5 ms from
// 0 to half a second after the phrase.
PitchTrack Sing(const std::vector<Sung>& notes, double lateMs = 0.0) {
  PitchTrack track;
  track.hopMs = kHopMs;
  for (double t = 0.0; t < kTargets.back().endMs + 500.0; t += kHopMs) {
    PitchFrame frame;
    frame.timeMs = t;
    const double at = t - lateMs;
    for (size_t i = 0; i < kTargets.size(); ++i) {
      const TargetNote& target = kTargets[i];
      if (at < target.startMs || at >= target.endMs) continue;
      const Sung& sung = notes[i];
      const double into = (at - target.startMs) / (target.endMs - target.startMs);
      if (into >= 0.2 + 0.6 * sung.voiced && into < 0.8) break;
      double cents = sung.cents + sung.vibratoCents * std::sin(2 * M_PI * 5.0 * t / 1000.0);
      if (into < 0.2) cents += sung.glideCents;
      frame.midiCents = 100.0 * target.pitch + cents;
      frame.confidence = 0.95;
      frame.voiced = true;
    }
    track.frames.push_back(frame);
  }
  return track;
}

std::vector<Sung> InTune() { return std::vector<Sung>(kTargets.size()); }

TEST(TakeJudgeTest, OneNoteSungInManyWays) {
  const struct {
    const char* name;
    Sung sung;
    Verdict verdict;
    double cents;
  } cases[] = {
      {"in tune", {}, Verdict::kHit, 0},
      {"30 cents sharp", {30}, Verdict::kHit, 30},
      {"50 cents flat, the edge", {-50}, Verdict::kHit, -50},
      {"51 cents sharp", {51}, Verdict::kMissed, 51},
      {"a semitone flat", {-100}, Verdict::kMissed, -100},
      {"a tritone", {600}, Verdict::kMissed, -600},
      {"an octave and 20 cents up", {1220}, Verdict::kHit, 20},
      {"two octaves down", {-2400}, Verdict::kHit, 0},
      {"an octave up, a semitone sharp", {1300}, Verdict::kMissed, 100},
      {"voiced for half the judged span", {0, 0.5}, Verdict::kHit, 0},
      {"voiced for 40 % of it", {0, 0.4}, Verdict::kMissed, 0},
      {"voiced for 40 % of it, 20 cents flat", {-20, 0.4}, Verdict::kMissed, -20},
      {"not sung", {0, 0.0}, Verdict::kNotSung, 0},
      // Over the judged 300 ms, a vibrato's median may lie up to half its depth from its
      // centre.
      {"a 5 Hz vibrato of 30 cents", {0, 1.0, 30}, Verdict::kHit, 0},
      {"a 5 Hz vibrato of 30 cents around 25 sharp", {25, 1.0, 30}, Verdict::kHit, 25},
      {"a glide from a minor third below, within the first fifth",
       {0, 1.0, 0, -300},
       Verdict::kHit,
       0},
  };
  for (const auto& c : cases) {
    std::vector<Sung> notes = InTune();
    notes[1] = c.sung;
    const TakeJudgement judged = JudgeTake(kTargets, Sing(notes));
    ASSERT_EQ(judged.Judged(), 4) << c.name;
    EXPECT_EQ(judged.offsetMs, 0) << c.name;
    const NoteJudgement& note = judged.notes[1];
    EXPECT_EQ(note.verdict, c.verdict) << c.name;
    EXPECT_NEAR(note.cents, c.cents, c.sung.vibratoCents > 0 ? 15.0 : 1e-9) << c.name;
    EXPECT_EQ(judged.hits, c.verdict == Verdict::kHit ? 4 : 3) << c.name;
    EXPECT_FALSE(judged.nothingHeard) << c.name;
    if (c.verdict != Verdict::kNotSung) {
      // The pitch actually sung, octave and all.
      EXPECT_NEAR(note.sungMidiCents, 6200.0 + c.sung.cents, c.sung.vibratoCents > 0 ? 15.0 : 1e-9)
          << c.name;
      EXPECT_NEAR(note.voicedShare, std::min(1.0, c.sung.voiced), 0.02) << c.name;
    } else {
      EXPECT_EQ(note.voicedShare, 0.0) << c.name;
    }
  }
}

TEST(TakeJudgeTest, ALateOrEarlyTakeIsLinedUpFirst) {
  const struct {
    const char* name;
    double lateMs;
    double cents;
    int32_t offsetMs;
  } cases[] = {
      {"on time", 0, 0, 0},
      {"150 ms late", 150, 0, 150},
      {"250 ms early", -250, 0, -250},
      {"300 ms late, the most allowed", 300, 0, 300},
      {"an octave up and 150 ms late", 150, 1200, 150},
      {"an octave down and 80 ms early", -80, -1200, -80},
  };
  for (const auto& c : cases) {
    std::vector<Sung> notes = InTune();
    for (Sung& note : notes) note.cents = c.cents;
    const TakeJudgement judged = JudgeTake(kTargets, Sing(notes, c.lateMs));
    EXPECT_NEAR(judged.offsetMs, c.offsetMs, kHopMs) << c.name;
    EXPECT_EQ(judged.hits, 4) << c.name;
    for (const NoteJudgement& note : judged.notes) EXPECT_NEAR(note.cents, 0.0, 1e-9) << c.name;
  }
}

TEST(TakeJudgeTest, AnOffsetBeyondTheAllowanceIsNotSearched) {
  // 800 ms late: the best the search may do is 300, which leaves every note judged on what
  // was sung for the note before.
  const TakeJudgement judged = JudgeTake(kTargets, Sing(InTune(), 800));
  EXPECT_LE(std::abs(judged.offsetMs), 300);
  EXPECT_LT(judged.hits, 4);
}

TEST(TakeJudgeTest, TrackerOctaveSlipsInAFewFramesDoNotMoveTheNote) {
  PitchTrack track = Sing(InTune());
  // A fifth of D4's judged frames an octave up, as a tracker sometimes reports.
  int slipped = 0;
  for (PitchFrame& frame : track.frames)
    if (frame.timeMs >= 600 && frame.timeMs < 660) {
      frame.midiCents += 1200.0;
      ++slipped;
    }
  ASSERT_GT(slipped, 0);
  const TakeJudgement judged = JudgeTake(kTargets, track);
  EXPECT_EQ(judged.notes[1].verdict, Verdict::kHit);
  EXPECT_NEAR(judged.notes[1].sungMidiCents, 6200.0, 1e-9);
}

TEST(TakeJudgeTest, SilenceIsNothingHeard) {
  PitchTrack track = Sing(InTune());
  // Not a single voiced frame, even where the tracker guessed a pitch.
  for (PitchFrame& frame : track.frames) {
    frame.voiced = false;
    frame.midiCents = 6000.0;
  }
  const TakeJudgement judged = JudgeTake(kTargets, track);
  EXPECT_TRUE(judged.nothingHeard);
  EXPECT_EQ(judged.hits, 0);
  EXPECT_EQ(judged.offsetMs, 0);
  for (const NoteJudgement& note : judged.notes) EXPECT_EQ(note.verdict, Verdict::kNotSung);
  EXPECT_TRUE(JudgeTake(kTargets, PitchTrack{kHopMs, {}}).nothingHeard);
}

TEST(TakeJudgeTest, SingingOnlyAfterThePhraseIsHeardButSingsNoNote) {
  PitchTrack track;
  track.hopMs = kHopMs;
  for (double t = 3000; t < 4000; t += kHopMs) track.frames.push_back({t, 6000.0, 0.9, true});
  const TakeJudgement judged = JudgeTake(kTargets, track);
  EXPECT_FALSE(judged.nothingHeard);
  EXPECT_EQ(judged.hits, 0);
  for (const NoteJudgement& note : judged.notes) EXPECT_EQ(note.verdict, Verdict::kNotSung);
}

TEST(TakeJudgeTest, FramesOutOfOrderAreJudgedAlike) {
  std::vector<Sung> notes = InTune();
  notes[2].cents = -70;
  const PitchTrack ordered = Sing(notes, 120);
  PitchTrack shuffled = ordered;
  std::shuffle(shuffled.frames.begin(), shuffled.frames.end(), std::mt19937(7));
  const TakeJudgement a = JudgeTake(kTargets, ordered);
  const TakeJudgement b = JudgeTake(kTargets, shuffled);
  EXPECT_EQ(a.offsetMs, b.offsetMs);
  EXPECT_EQ(a.hits, b.hits);
  for (size_t i = 0; i < a.notes.size(); ++i) {
    EXPECT_EQ(a.notes[i].verdict, b.notes[i].verdict) << i;
    EXPECT_EQ(a.notes[i].cents, b.notes[i].cents) << i;
  }
  EXPECT_EQ(a.notes[2].verdict, Verdict::kMissed);
}

TEST(TakeJudgeTest, NoTargetsAndBadHops) {
  const TakeJudgement none = JudgeTake({}, Sing(InTune()));
  EXPECT_EQ(none.Judged(), 0);
  EXPECT_FALSE(none.nothingHeard);
  EXPECT_TRUE(PassesPhrase(none));
  for (double hop : {0.0, -5.0, std::nan("")})
    EXPECT_THROW(JudgeTake(kTargets, PitchTrack{hop, {}}), std::invalid_argument) << hop;
}

TEST(TakeJudgeTest, EightyPercentOfTheNotesPassAPhrase) {
  const struct {
    int32_t hits, notes;
    bool passes;
  } cases[] = {{4, 5, true}, {3, 5, false}, {8, 10, true}, {7, 9, false},
               {5, 5, true}, {0, 1, false}, {4, 4, true},  {3, 4, false}};
  for (const auto& c : cases) {
    TakeJudgement judged;
    judged.notes.resize(c.notes);
    judged.hits = c.hits;
    EXPECT_EQ(PassesPhrase(judged), c.passes) << c.hits << " of " << c.notes;
  }
}

TEST(TakeJudgeTest, ThePassLineIsTheSettingsOwn) {
  EXPECT_EQ(JudgeSettings{}.PassPercent(), 80);
  JudgeSettings lenient;
  lenient.passShare = 0.75;
  EXPECT_EQ(lenient.PassPercent(), 75);
  TakeJudgement threeOfFour;
  threeOfFour.notes.resize(4);
  threeOfFour.hits = 3;
  EXPECT_FALSE(PassesPhrase(threeOfFour));
  EXPECT_TRUE(PassesPhrase(threeOfFour, lenient));
}

// The share of hits as reports and the best try count it: a try with no note to judge is
// whole, as it passes.
TEST(TakeJudgeTest, TheShareOfHitsAgreesWithThePass) {
  const struct {
    int32_t hits, notes;
    double share;
    int32_t percent;
    const char* why;
  } cases[] = {
      {0, 0, 1.0, 100, "nothing to judge: nothing missed"},
      {4, 5, 0.8, 80, "on the pass line"},
      {0, 3, 0.0, 0, "nothing hit"},
      {2, 3, 2.0 / 3.0, 67, "rounded to the nearest"},
      {23, 40, 0.575, 58, "a half percent rounds up, though 0.575 is stored a hair under"},
      {1, 200, 0.005, 1, "half of one percent"},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(HitShare(c.hits, c.notes), c.share) << c.why;
    EXPECT_EQ(HitPercent(c.hits, c.notes), c.percent) << c.why;
  }
  TakeJudgement nothing;
  EXPECT_TRUE(PassesPhrase(nothing));
  EXPECT_GE(HitPercent(0, 0), JudgeSettings{}.PassPercent());
}

}  // namespace
