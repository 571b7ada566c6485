// The range exercise's ear: a sung scale fed as the capture thread feeds it, read back as the
// lowest and highest notes held; and the sing-back ear judging against phrases fitted to the
// singer's range.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "capture/AudioCapture.h"
#include "listening/PhraseTargets.h"
#include "listening/RangeAnalysis.h"
#include "playback/Player.h"
#include "playback/SilentPlatform.h"
#include "singback/CaptureEar.h"
#include "singback/RangeListener.h"
#include "tests/capture/SyntheticTakes.h"

namespace {

template <typename Ear>
void Feed(Ear& ear, const std::vector<float>& samples) {
  for (size_t at = 0; at < samples.size(); at += capture::CAudioCapture::kBlockFrames)
    ear.OnSamples(samples.data() + at,
                  static_cast<unsigned>(
                      std::min<size_t>(capture::CAudioCapture::kBlockFrames, samples.size() - at)));
}

TEST(RangeListenerTest, ASungScaleGivesItsLowestAndHighestHeldNotes) {
  struct Case {
    const char* name;
    int32_t low;
    int32_t high;
    double vibratoCents;
  };
  const Case cases[] = {
      {"a low voice, A2-E4", 45, 64, 0.0},
      {"a high voice with vibrato, C4-C6", 60, 84, 40.0},
  };
  for (const Case& c : cases) {
    CRangeListener listener(taketest::kRate);
    taketest::TakeShape shape;
    shape.lateMs = 300;
    shape.vibratoCents = c.vibratoCents;
    // A growl a fifth below the range and a squeak a fifth above it, 150 ms each.
    Feed(listener,
         taketest::SineTake(taketest::RangeExercise(c.low, c.high, 400, c.low - 7, c.high + 7, 150),
                            shape));
    listening::PitchTrack track;
    track.hopMs = listener.HopMs();
    listener.FramesFrom(0, track.frames);
    const listening::SungRange range = listening::FindSungRange(track);
    ASSERT_TRUE(range.Found()) << c.name;
    EXPECT_EQ(range.lowest, c.low) << c.name;
    EXPECT_EQ(range.highest, c.high) << c.name;
    EXPECT_EQ(range.held.size(), static_cast<size_t>(c.high - c.low + 1)) << c.name;
  }
}

TEST(RangeListenerTest, SingBackJudgesAgainstThePhraseWhereTheRangePutsIt) {
  CSilentPlatform platform;
  CPlayer player(platform);
  {
    CPlayer::CBuildOnlyScope quietly(player);
    player.LoadAndPlay("s=100,1,1,1,2,1,3,1,5,1,6");  // C4-A4
  }
  player.SetRange(VoiceRange{45, 64});  // A2-E4: an octave down
  CCaptureEar ear(player, taketest::kRate);
  const std::vector<listening::TargetNote> targets = ear.TargetsOf(0);
  ASSERT_EQ(targets.size(), 5u);
  EXPECT_EQ(targets.front().pitch, 48);
  EXPECT_EQ(targets.back().pitch, 57);

  struct Case {
    const char* name;
    int32_t semitones;  // sung from the fitted pitch
    int32_t hits;
  };
  const Case cases[] = {{"sung where it was played", 0, 5}, {"sung a fifth off", 7, 0}};
  for (const Case& c : cases) {
    ear.StartTake(0, 3300);
    taketest::TakeShape shape;
    shape.semitones = c.semitones;
    Feed(ear, taketest::SineTake(targets, shape));
    EXPECT_EQ(ear.FinishTake().hits, c.hits) << c.name;
  }
}

}  // namespace
