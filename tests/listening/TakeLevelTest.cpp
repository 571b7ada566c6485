// A take's level measured on its own frames, and which frames count as sung: the noise floor
// from the frames without a pitch, the loudest part held, the gate, and frames close to the
// noise that count with the confidence the noise leaves them.
#include <gtest/gtest.h>

#include <vector>

#include "listening/TakeJudge.h"
#include "listening/TakeLevel.h"

namespace {

using namespace listening;

constexpr double kHopMs = 5.0;

// C4 and D4, half a second each, after half a second of the room.
const std::vector<TargetNote> kTargets = {{0, 60, 500, 1000}, {1, 62, 1000, 1500}};

struct Stretch {
  double fromMs, toMs;
  double midiCents;  // 0: no pitch
  double confidence;
  double levelDb;
};

PitchTrack Take(const std::vector<Stretch>& stretches) {
  PitchTrack track;
  track.hopMs = kHopMs;
  track.levels = true;
  for (const Stretch& s : stretches)
    for (double t = s.fromMs; t < s.toMs; t += kHopMs) {
      PitchFrame frame;
      frame.timeMs = t;
      frame.midiCents = s.midiCents;
      frame.confidence = s.confidence;
      frame.voiced = s.midiCents > 0.0 && s.confidence >= 0.8;
      frame.levelDb = s.levelDb;
      frame.peakDb = s.levelDb + 3.0;
      track.frames.push_back(frame);
    }
  return track;
}

TEST(TakeLevelTest, TheFloorTheLoudestPartAndTheGate) {
  const TakeLevel level = MeasureTakeLevel(Take({{0, 500, 0, 0.1, -60},
                                                 {500, 1000, 6000, 0.95, -20},
                                                 {1000, 1002, 6200, 0.95, -5},  // a click
                                                 {1002, 1500, 6200, 0.95, -30},
                                                 {1500, 2000, 0, 0.2, -61}}));
  EXPECT_EQ(level.verdict, LevelVerdict::kGood);
  EXPECT_DOUBLE_EQ(level.noiseFloorDb, -61.0);
  EXPECT_DOUBLE_EQ(level.loudestDb, -20.0) << "a click is not the loudest part";
  EXPECT_DOUBLE_EQ(level.peakDb, -2.0);
  EXPECT_DOUBLE_EQ(level.gateDb, -55.0);
  // Without frames that lack a pitch there is no measure of the noise: nothing is gated for it.
  const TakeLevel sungThrough = MeasureTakeLevel(Take({{0, 2000, 6000, 0.95, -30}}));
  EXPECT_EQ(sungThrough.verdict, LevelVerdict::kGood);
  EXPECT_DOUBLE_EQ(sungThrough.noiseFloorDb, kSilentDb);
  EXPECT_DOUBLE_EQ(sungThrough.gateDb, -70.0);
  // Frames that carry no levels are judged by their voicing alone.
  PitchTrack unmeasured = Take({{0, 2000, 6000, 0.95, -30}});
  unmeasured.levels = false;
  EXPECT_EQ(MeasureTakeLevel(unmeasured).verdict, LevelVerdict::kUnmeasured);
}

TEST(TakeLevelTest, WhichFramesCountAsSung) {
  const struct {
    const char* name;
    Stretch note;  // the second note; the first sung at -30 dB, the room at -60
    Verdict verdict;
  } cases[] = {
      {"clear of the noise", {1000, 1500, 6200, 0.95, -35}, Verdict::kHit},
      // 8 dB over the noise a steady voice repeats with a confidence of about 0.84.
      {"close to the noise, as sure as it allows", {1000, 1500, 6200, 0.75, -52}, Verdict::kHit},
      {"close to the noise, less sure than it allows",
       {1000, 1500, 6200, 0.6, -52},
       Verdict::kNotSung},
      {"in the noise", {1000, 1500, 6200, 0.9, -57}, Verdict::kNotSung},
      {"a confident pitch under the noise's gate",
       {1000, 1500, 6200, 0.95, -56},
       Verdict::kNotSung},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TakeJudgement judged = JudgeTake(kTargets, Take({{0, 500, 0, 0.1, -60},
                                                           {500, 1000, 6000, 0.95, -30},
                                                           c.note,
                                                           {1500, 2000, 0, 0.1, -60}}));
    EXPECT_EQ(judged.level.verdict, LevelVerdict::kGood);
    EXPECT_EQ(judged.notes[0].verdict, Verdict::kHit);
    EXPECT_EQ(judged.notes[1].verdict, c.verdict);
  }
}

TEST(TakeLevelTest, QuietOverloadedAndSilentTakes) {
  const struct {
    const char* name;
    double roomDb, voiceDb;  // kSilentDb: digital silence
    int32_t clipped;
    LevelVerdict verdict;
  } cases[] = {
      {"14 dB over the noise of a quiet input", -60, -46, 0, LevelVerdict::kTooQuiet},
      {"the same 14 dB on a loud input: noise, not quiet", -20, -6, 0, LevelVerdict::kGood},
      {"16 dB over the noise of a quiet input", -60, -44, 0, LevelVerdict::kGood},
      {"clipped", -60, -3, 12, LevelVerdict::kOverloaded},
      {"digital silence", kSilentDb, kSilentDb, 0, LevelVerdict::kSilent},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const bool sung = c.voiceDb > kSilentDb;
    PitchTrack track = Take({{0, 500, 0, 0.1, c.roomDb},
                             {500, 1000, sung ? 6000.0 : 0.0, 0.95, c.voiceDb},
                             {1000, 1500, sung ? 6200.0 : 0.0, 0.95, c.voiceDb},
                             {1500, 2000, 0, 0.1, c.roomDb}});
    for (PitchFrame& frame : track.frames)
      if (frame.levelDb <= kSilentDb) frame.peakDb = kSilentDb;
    track.frames[150].clipped = c.clipped;
    const TakeJudgement judged = JudgeTake(kTargets, track);
    EXPECT_EQ(judged.level.verdict, c.verdict);
    EXPECT_EQ(judged.level.clippedSamples, c.clipped);
    const bool heard = c.verdict == LevelVerdict::kGood || c.verdict == LevelVerdict::kOverloaded;
    EXPECT_EQ(judged.nothingHeard, !heard);
    EXPECT_EQ(judged.hits, heard ? 2 : 0);
  }
}

// A take in which nothing was heard, or nothing above the room, is no try: nothing judged,
// nothing kept, the same try again. A quiet voice that stands clear of its room is a try.
TEST(TakeLevelTest, NoTryWithoutASoundAboveTheRoom) {
  const struct {
    const char* name;
    std::vector<Stretch> take;
    LevelVerdict verdict;
    int32_t hits;
  } cases[] = {
      {"digital silence (a muted input)", {{0, 2000, 0, 0.0, kSilentDb}}, LevelVerdict::kSilent, 0},
      // A 16-bit input's last bit peaks at -90.3 dBFS: under any microphone's own noise.
      {"near silence (a converter's last bit)",
       {{0, 2000, 0, 0.0, -93.3}},
       LevelVerdict::kSilent,
       0},
      {"a pitch in near silence", {{0, 2000, 6000, 0.95, -95}}, LevelVerdict::kSilent, 0},
      {"a quiet room and no voice", {{0, 2000, 0, 0.2, -65}}, LevelVerdict::kTooQuiet, 0},
      {"a quiet voice clear of a quiet room",
       {{0, 500, 0, 0.1, -65},
        {500, 1000, 6000, 0.95, -48},
        {1000, 1500, 6200, 0.95, -48},
        {1500, 2000, 0, 0.1, -65}},
       LevelVerdict::kGood,
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TakeJudgement judged = JudgeTake(kTargets, Take(c.take));
    EXPECT_EQ(judged.level.verdict, c.verdict);
    EXPECT_EQ(judged.TooQuiet(), c.verdict != LevelVerdict::kGood);
    EXPECT_EQ(TooQuietToJudge(c.verdict), c.verdict != LevelVerdict::kGood);
    EXPECT_EQ(judged.hits, c.hits);
    EXPECT_EQ(judged.nothingHeard, c.hits == 0);
  }
}

}  // namespace
