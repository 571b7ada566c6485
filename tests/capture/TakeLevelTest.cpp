// The level of a take against its own noise: the same take sung at any level into a room's
// noise is judged alike until the voice no longer stands clear of the noise; then it is too
// quiet. A clipped take is overloaded and judged all the same. Each tolerance on takes sung
// 35 and 80 cents off.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "capture/PitchTracker.h"
#include "listening/PhraseTargets.h"
#include "listening/TakeJudge.h"
#include "listening/Tolerance.h"
#include "notation/Score.h"
#include "tests/capture/SyntheticTakes.h"

#ifndef TUNWICK_TEST_SOUNDFONT
#error "TUNWICK_TEST_SOUNDFONT must name the soundfont the set-up installs"
#endif

namespace {

using listening::LevelVerdict;
using listening::TakeJudgement;
using listening::TargetNote;
using listening::Verdict;

// C4 D4 E4 G4 A4 G4 E4 C4 at 600 ms a beat: crotchets, two quavers in the middle.
const char kPhrase[] = "s=100,1,1,1,2,1,3,0.1,5,0.1,6,1,5,1,3,1,1";
// A quiet room heard through a laptop's microphone: noise at -65 dBFS RMS.
constexpr double kRoomNoiseDb = -65.0;

double Gain(double db) { return std::pow(10.0, db / 20.0); }

// `take` scaled by `gainDb`, with the room's noise added (the same noise whatever the gain).
std::vector<float> InTheRoom(const std::vector<float>& take, double gainDb, double noiseDb) {
  std::vector<float> noise =
      taketest::Noise(take.size() / double(taketest::kRate) + 1.0, Gain(noiseDb), 21);
  std::vector<float> heard(take.size());
  for (size_t i = 0; i < take.size(); ++i)
    heard[i] = std::clamp(static_cast<float>(take[i] * Gain(gainDb)) + noise[i], -1.0f, 1.0f);
  return heard;
}

// Scaled so that its highest sample stands at `peakDb`.
std::vector<float> PeakingAt(std::vector<float> take, double peakDb) {
  float peak = 0.0f;
  for (float sample : take) peak = std::max(peak, std::fabs(sample));
  for (float& sample : take) sample = static_cast<float>(sample * Gain(peakDb) / peak);
  return take;
}

class TakeLevelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    auto score = std::make_unique<Score>();
    ParseScore(kPhrase, static_cast<int32_t>(sizeof kPhrase - 1), *score);
    targets_ = listening::PhraseTargets(score->phrases[0], 0);
  }

  void SetUp() override {
    if (!std::ifstream(TUNWICK_TEST_SOUNDFONT))
      GTEST_SKIP() << "no soundfont at " << TUNWICK_TEST_SOUNDFONT;
  }

  // The phrase sung by the voice a little late, peaking at -1 dBFS; note 3 a semitone off.
  static std::vector<float> Voice() {
    taketest::TakeShape shape;
    shape.centsPerNote = {0, 0, 100, 0, 0, 0, 0, 0};
    shape.lateMs = 250;
    return PeakingAt(taketest::VoiceTake(targets_, shape, TUNWICK_TEST_SOUNDFONT), -1.0);
  }

  static TakeJudgement Judge(const std::vector<float>& take,
                             listening::Tolerance tolerance = listening::Tolerance::kNormal) {
    listening::JudgeSettings settings;
    settings.hitCents = listening::ToleranceCents(tolerance);
    return listening::JudgeTake(
        targets_, capture::TrackPitch(take.data(), take.size(), taketest::kRate), settings);
  }

  static std::vector<TargetNote> targets_;
};

std::vector<TargetNote> TakeLevelTest::targets_;

TEST_F(TakeLevelTest, TheSameTakeIsJudgedAlikeAtAnyLevelUntilItIsTooQuiet) {
  const std::vector<float> voice = Voice();
  const TakeJudgement loud = Judge(voice);
  ASSERT_EQ(loud.hits, 7);
  ASSERT_EQ(loud.notes[2].verdict, Verdict::kMissed);
  const struct {
    double gainDb;
    LevelVerdict verdict;
  } cases[] = {
      {0.0, LevelVerdict::kGood},
      {-20.0, LevelVerdict::kGood},
      {-40.0, LevelVerdict::kGood},
      {-55.0, LevelVerdict::kTooQuiet},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("gain " + std::to_string(c.gainDb) + " dB");
    const std::vector<float> heard = InTheRoom(voice, c.gainDb, kRoomNoiseDb);
    const TakeJudgement judged = Judge(heard);
    EXPECT_EQ(judged.level.verdict, c.verdict);
    float peak = 0.0f;
    for (float sample : heard) peak = std::max(peak, std::fabs(sample));
    EXPECT_NEAR(judged.level.peakDb, 20.0 * std::log10(peak), 0.01);
    EXPECT_NEAR(judged.level.noiseFloorDb, kRoomNoiseDb, 3.0);
    ASSERT_EQ(judged.Judged(), 8);
    if (c.verdict == LevelVerdict::kTooQuiet) {
      // One verdict for the whole take, not a row of notes not sung for the learner to puzzle.
      EXPECT_TRUE(judged.TooQuiet());
      EXPECT_LT(judged.level.SignalToNoiseDb(), listening::LevelSettings{}.leastSignalToNoiseDb);
      EXPECT_TRUE(judged.nothingHeard);
      EXPECT_EQ(judged.hits, 0);
      continue;
    }
    EXPECT_GE(judged.level.SignalToNoiseDb(), listening::LevelSettings{}.leastSignalToNoiseDb);
    EXPECT_FALSE(judged.TooQuiet());
    EXPECT_EQ(judged.hits, loud.hits);
    EXPECT_NEAR(judged.offsetMs, loud.offsetMs, 6);
    for (size_t i = 0; i < judged.notes.size(); ++i) {
      EXPECT_EQ(judged.notes[i].verdict, loud.notes[i].verdict) << "note " << i;
      // 40 dB down, the quietest notes stand 10 dB above the room: each frame's pitch is
      // rougher there, by some cents, but no verdict changes.
      EXPECT_NEAR(judged.notes[i].cents, loud.notes[i].cents, c.gainDb < -30.0 ? 10.0 : 3.0)
          << "note " << i;
      EXPECT_GE(judged.notes[i].voicedShare, loud.notes[i].voicedShare - 0.1) << "note " << i;
    }
  }
}

TEST_F(TakeLevelTest, AClippedTakeIsOverloadedAndJudgedAllTheSame) {
  // Sung 12 dB too hot: every loud stretch is cut off at full scale.
  const TakeJudgement judged = Judge(InTheRoom(Voice(), 12.0, kRoomNoiseDb));
  EXPECT_EQ(judged.level.verdict, LevelVerdict::kOverloaded);
  EXPECT_GT(judged.level.clippedSamples, 1000);
  EXPECT_GT(judged.level.peakDb, -0.1);
  EXPECT_FALSE(judged.TooQuiet());
  EXPECT_EQ(judged.hits, 7);
  EXPECT_EQ(judged.notes[2].verdict, Verdict::kMissed);
}

TEST_F(TakeLevelTest, NoiseAloneIsTooQuietOnAQuietInputAndNothingHeardOnALoudOne) {
  const size_t length = static_cast<size_t>(5.0 * taketest::kRate);
  const struct {
    const char* name;
    std::vector<float> take;
    LevelVerdict verdict;
  } cases[] = {
      // Only the room: whatever was sung did not stand out of it.
      {"a quiet room", taketest::Noise(5.0, Gain(kRoomNoiseDb), 3), LevelVerdict::kTooQuiet},
      // The input is loud enough; what it heard was no voice.
      {"a fan beside the microphone", taketest::Noise(5.0, Gain(-24.0), 4), LevelVerdict::kGood},
      {"digital silence", std::vector<float>(length, 0.0f), LevelVerdict::kSilent},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TakeJudgement judged = Judge(c.take);
    EXPECT_EQ(judged.level.verdict, c.verdict);
    EXPECT_TRUE(judged.nothingHeard);
    EXPECT_EQ(judged.hits, 0);
    for (const listening::NoteJudgement& note : judged.notes)
      EXPECT_EQ(note.verdict, Verdict::kNotSung);
  }
}

TEST_F(TakeLevelTest, EachToleranceOnTakesSung35And80CentsOff) {
  const struct {
    double centsOff;
    listening::Tolerance tolerance;
    int32_t hits;
  } cases[] = {
      {35.0, listening::Tolerance::kStrict, 0},  {35.0, listening::Tolerance::kNormal, 8},
      {35.0, listening::Tolerance::kEasy, 8},    {80.0, listening::Tolerance::kStrict, 0},
      {80.0, listening::Tolerance::kNormal, 0},  {80.0, listening::Tolerance::kEasy, 8},
      {-35.0, listening::Tolerance::kStrict, 0}, {-80.0, listening::Tolerance::kEasy, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.centsOff) + " cents, " + listening::ToleranceName(c.tolerance));
    taketest::TakeShape shape;
    shape.centsPerNote.assign(targets_.size(), c.centsOff);
    const TakeJudgement judged =
        Judge(InTheRoom(taketest::SineTake(targets_, shape), 0.0, kRoomNoiseDb), c.tolerance);
    EXPECT_EQ(judged.hits, c.hits);
    EXPECT_EQ(judged.hitCents, listening::ToleranceCents(c.tolerance));
    // The cents are what was sung, whatever the tolerance; only the verdicts change.
    for (const listening::NoteJudgement& note : judged.notes) {
      EXPECT_NEAR(note.cents, c.centsOff, 2.0);
      EXPECT_EQ(note.verdict, c.hits > 0 ? Verdict::kHit : Verdict::kMissed);
    }
  }
}

}  // namespace
