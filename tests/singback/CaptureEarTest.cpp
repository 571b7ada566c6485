// The sing-back ear: pitch tracked from blocks as the capture thread feeds them, each take
// timed from its own start and judged against its phrase; sound outside a take is ignored.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "capture/AudioCapture.h"
#include "listening/PhraseTargets.h"
#include "playback/Player.h"
#include "playback/SilentPlatform.h"
#include "singback/CaptureEar.h"
#include "tests/capture/SyntheticTakes.h"

namespace {

// Phrase 2: C4 D4 E4 G4 A4 G4 E4 C4 at 600 ms a beat.
const char kScore[] = "s=100,1,1,1,3|1,1,1,2,1,3,0.1,5,0.1,6,1,5,1,3,1,1";

class CaptureEarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CPlayer::CBuildOnlyScope quietly(player);
    player.LoadAndPlay(kScore);
    ASSERT_EQ(player.LoadedScore().phraseCount, 2);
    targets = listening::PhraseTargets(player.LoadedScore().phrases[1], 0);
  }

  // Feeds `samples` in the capture's block size.
  void Feed(const std::vector<float>& samples) {
    for (size_t at = 0; at < samples.size(); at += capture::CAudioCapture::kBlockFrames)
      ear.OnSamples(samples.data() + at,
                    static_cast<unsigned>(std::min<size_t>(capture::CAudioCapture::kBlockFrames,
                                                           samples.size() - at)));
  }
  void FeedSilence(double seconds) {
    Feed(std::vector<float>(static_cast<size_t>(seconds * taketest::kRate), 0.0f));
  }

  CSilentPlatform platform;
  CPlayer player{platform};
  CCaptureEar ear{player, taketest::kRate};
  std::vector<listening::TargetNote> targets;
};

TEST_F(CaptureEarTest, EachTakeIsJudgedFromItsOwnStart) {
  struct Case {
    const char* name;
    std::vector<double> centsPerNote;
    bool silent;
    bool passed;
    int32_t hits;
  };
  const Case cases[] = {
      {"in tune", {}, false, true, 8},
      {"one note a semitone off", {0, 0, 0, 100}, false, true, 7},
      {"three notes a semitone off", {100, 0, 0, 100, 0, 0, 100}, false, false, 5},
      {"silence", {}, true, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A tone before the take (the cue, the piano) is not the learner's.
    taketest::TakeShape before;
    before.centsPerNote = {300, 300, 300, 300, 300, 300, 300, 300};
    before.tailMs = 0;
    const std::vector<float> noise = taketest::SineTake(targets, before);
    Feed(std::vector<float>(noise.begin(), noise.begin() + taketest::kRate / 2));
    ear.StartTake(1, 4500);
    taketest::TakeShape shape;
    shape.centsPerNote = c.centsPerNote;
    if (c.silent) {
      FeedSilence(4.5);
    } else {
      Feed(taketest::SineTake(targets, shape));
    }
    const TakeVerdict verdict = ear.FinishTake();
    EXPECT_EQ(verdict.passed, c.passed);
    EXPECT_EQ(verdict.hits, c.hits);
    EXPECT_EQ(verdict.judged, 8);
    EXPECT_EQ(ear.LastRow(), 1);
    EXPECT_EQ(ear.LastJudgement().nothingHeard, c.silent);
    if (!c.silent) {
      EXPECT_LE(std::abs(ear.LastJudgement().offsetMs), 30) << "timed from its start";
    }
  }
}

TEST_F(CaptureEarTest, ACancelledTakeIsForgottenAndNothingCountsOutsideATake) {
  listening::PitchFrame frame;
  Feed(taketest::SineTake(targets, {}));
  EXPECT_FALSE(ear.LatestFrame(frame)) << "no take runs";
  ear.StartTake(1, 4500);
  taketest::TakeShape sungToTheEnd;
  sungToTheEnd.tailMs = 0;
  Feed(taketest::SineTake(targets, sungToTheEnd));
  ASSERT_TRUE(ear.LatestFrame(frame));
  EXPECT_TRUE(frame.voiced);
  ear.CancelTake();
  ear.StartTake(1, 4500);
  FeedSilence(4.5);
  const TakeVerdict verdict = ear.FinishTake();
  EXPECT_EQ(verdict.hits, 0);
  EXPECT_TRUE(ear.LastJudgement().nothingHeard);
}

TEST_F(CaptureEarTest, HandsTheTakesFramesOverInPiecesAndKeepsThemOnceJudged) {
  std::vector<listening::PitchFrame> got;
  ear.TakeFramesFrom(0, got);
  EXPECT_TRUE(got.empty()) << "no take yet";
  ear.StartTake(1, 4500);
  const std::vector<float> take = taketest::SineTake(targets, {});
  const size_t half =
      take.size() / 2 / capture::CAudioCapture::kBlockFrames * capture::CAudioCapture::kBlockFrames;
  Feed(std::vector<float>(take.begin(), take.begin() + half));
  ear.TakeFramesFrom(got.size(), got);
  const size_t first = got.size();
  ASSERT_GT(first, 0u);
  Feed(std::vector<float>(take.begin() + half, take.end()));
  ear.FinishTake();
  // The rest, from where the first piece ended: no frame twice, none lost, in time order.
  ear.TakeFramesFrom(got.size(), got);
  ASSERT_GT(got.size(), first);
  for (size_t i = 1; i < got.size(); ++i) EXPECT_GT(got[i].timeMs, got[i - 1].timeMs) << i;
  EXPECT_GE(got.back().timeMs, 4000.0);
  ear.CancelTake();
  std::vector<listening::PitchFrame> after;
  ear.TakeFramesFrom(0, after);
  EXPECT_TRUE(after.empty()) << "cancelled";
}

TEST_F(CaptureEarTest, TheMeterReadsThePeakSinceItsLastLookAndTheClips) {
  const struct {
    const char* name;
    std::vector<float> block;
    double peakDb, rmsDb;
    bool clipped;
  } cases[] = {
      {"a quarter of full scale", std::vector<float>(512, 0.25f), -12.04, -12.04, false},
      {"a click in silence", {0.0f, 0.0f, -0.5f, 0.0f}, -6.02, -12.04, false},
      {"full scale", {1.0f, -1.0f, 1.0f, -1.0f}, 0.0, 0.0, true},
      {"digital silence", std::vector<float>(512, 0.0f), listening::kSilentDb, listening::kSilentDb,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ear.OnSamples(c.block.data(), static_cast<unsigned>(c.block.size()));
    const InputLevel level = ear.ReadInputLevel();
    EXPECT_NEAR(level.peakDb, c.peakDb, 0.01);
    EXPECT_NEAR(level.rmsDb, c.rmsDb, 0.01);
    EXPECT_EQ(level.clipped, c.clipped);
    // Read, the peak and the clip start afresh; the RMS stays the latest block's.
    const InputLevel again = ear.ReadInputLevel();
    EXPECT_EQ(again.peakDb, listening::kSilentDb);
    EXPECT_FALSE(again.clipped);
    EXPECT_NEAR(again.rmsDb, c.rmsDb, 0.01);
  }
  // The highest of several blocks is held until the meter looks.
  const std::vector<float> loud(256, 0.5f), soft(256, 0.1f);
  ear.OnSamples(loud.data(), 256);
  ear.OnSamples(soft.data(), 256);
  EXPECT_NEAR(ear.ReadInputLevel().peakDb, -6.02, 0.01);
}

TEST_F(CaptureEarTest, TakesAreJudgedWithTheToleranceChosen) {
  taketest::TakeShape sharp;
  sharp.centsPerNote.assign(targets.size(), 35.0);
  const std::vector<float> take = taketest::SineTake(targets, sharp);
  const struct {
    listening::Tolerance tolerance;
    int32_t hits;
  } cases[] = {{listening::Tolerance::kStrict, 0},
               {listening::Tolerance::kNormal, 8},
               {listening::Tolerance::kEasy, 8}};
  for (const auto& c : cases) {
    SCOPED_TRACE(listening::ToleranceName(c.tolerance));
    ear.SetTolerance(c.tolerance);
    ear.StartTake(1, 4500);
    Feed(take);
    const TakeVerdict verdict = ear.FinishTake();
    EXPECT_EQ(verdict.hits, c.hits);
    EXPECT_EQ(verdict.passed, c.hits == 8);
    EXPECT_EQ(ear.LastJudgement().hitCents, listening::ToleranceCents(c.tolerance));
  }
}

TEST_F(CaptureEarTest, ATakeTooQuietAgainstItsNoiseIsNotHeardSoItUsesNoTry) {
  // A quiet room through a laptop's microphone: noise at -65 dBFS RMS under the voice.
  for (const double db : {0.0, -55.0}) {
    SCOPED_TRACE(db);
    taketest::TakeShape shape;
    shape.level = 0.3 * std::pow(10.0, db / 20.0);
    std::vector<float> take = taketest::SineTake(targets, shape);
    const std::vector<float> noise = taketest::Noise(
        static_cast<double>(take.size()) / taketest::kRate + 1.0, std::pow(10.0, -65.0 / 20.0));
    for (size_t i = 0; i < take.size(); ++i) take[i] += noise[i];
    ear.StartTake(1, 4500);
    Feed(take);
    const TakeVerdict verdict = ear.FinishTake();
    EXPECT_EQ(verdict.heard, db == 0.0);
    EXPECT_EQ(verdict.hits, db == 0.0 ? 8 : 0);
  }
}

// An input that feeds its blocks from a thread of its own, as the capture's audio thread does,
// once told to go; it stops when destroyed.
class CThreadedInput : public SoundInput {
 public:
  explicit CThreadedInput(std::vector<float> samples) : samples_(std::move(samples)) {}
  ~CThreadedInput() override {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  unsigned Start(capture::CAudioCapture::BlockSink sink) override {
    thread_ = std::thread([this, sink = std::move(sink)] {
      while (!go_ && !stop_) std::this_thread::yield();
      for (size_t at = 0; at < samples_.size() && !stop_;
           at += capture::CAudioCapture::kBlockFrames)
        sink(samples_.data() + at,
             static_cast<unsigned>(
                 std::min<size_t>(capture::CAudioCapture::kBlockFrames, samples_.size() - at)));
      done_ = true;
    });
    return taketest::kRate;
  }
  std::atomic<bool> go_{false};
  std::atomic<bool> done_{false};

 private:
  std::vector<float> samples_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST_F(CaptureEarTest, AnInputOnItsOwnThreadFeedsTheTakeWhileTheDisplayReadsIt) {
  auto input = std::make_unique<CThreadedInput>(taketest::SineTake(targets, {}));
  CThreadedInput& feeding = *input;
  std::unique_ptr<CCaptureEar> live = CCaptureEar::Listen(player, std::move(input));
  live->StartTake(1, 4500);
  feeding.go_ = true;
  // What the panel does while the learner sings: the meter, the newest pitch, the frames.
  double loudest = listening::kSilentDb;
  std::vector<listening::PitchFrame> frames;
  listening::PitchFrame latest;
  while (!feeding.done_) {
    loudest = std::max(loudest, live->ReadInputLevel().peakDb);
    live->LatestFrame(latest);
    live->TakeFramesFrom(frames.size(), frames);
    std::this_thread::yield();
  }
  loudest = std::max(loudest, live->ReadInputLevel().peakDb);
  const TakeVerdict verdict = live->FinishTake();
  live->StopInput();
  EXPECT_EQ(verdict.hits, 8);
  EXPECT_GT(loudest, -20.0) << "the meter saw the take";
}

// An input that stops sending (unplugged, muted by the system, suspended) is lost once it has
// sent nothing for kInputLostAfterMs of a take: the take is not judged and the verdict says so.
// The blocks come in real time on a clock the test moves; a stall lets it run with no block.
TEST_F(CaptureEarTest, AnInputThatStopsSendingIsLost) {
  struct Stretch {
    double seconds;
    bool sending;
  };
  const struct {
    const char* name;
    std::vector<Stretch> take;  // after 0.5 s of sound before the take
    double stallBeforeS;        // a stall just before the take starts (the cue)
    bool lost;
  } cases[] = {
      {"sending throughout", {{4.5, true}}, 0.0, false},
      {"a stall of 1.4 s, then sound again", {{1.0, true}, {1.4, false}, {2.1, true}}, 0.0, false},
      {"a stall of 2 s, then sound again", {{1.0, true}, {2.0, false}, {1.5, true}}, 0.0, true},
      {"stopped 1 s into the take", {{1.0, true}, {3.5, false}}, 0.0, true},
      {"stopped before the take began", {{4.5, false}}, 0.0, true},
      {"stalled in the cue, sending again as the take begins", {{4.5, true}}, 3.0, false},
      {"stopped 0.2 s before the end", {{4.3, true}, {0.2, false}}, 0.0, false},
  };
  const std::vector<float> sung = taketest::SineTake(targets, {});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    double nowMs = 1000.0;
    CCaptureEar timed(player, taketest::kRate);
    timed.SetClock([&nowMs] { return static_cast<int64_t>(nowMs); });
    size_t at = 0;
    // Blocks of the sung take, each as it is recorded: the clock moves on by its length.
    auto send = [&](double seconds) {
      const size_t end = std::min(sung.size(), at + static_cast<size_t>(seconds * taketest::kRate));
      for (; at < end; at += capture::CAudioCapture::kBlockFrames) {
        const unsigned frames =
            static_cast<unsigned>(std::min<size_t>(capture::CAudioCapture::kBlockFrames, end - at));
        nowMs += 1000.0 * frames / taketest::kRate;
        timed.OnSamples(sung.data() + at, frames);
      }
    };
    send(0.5);
    at = 0;
    nowMs += 1000.0 * c.stallBeforeS;
    timed.StartTake(1, 4500);
    for (const Stretch& stretch : c.take) {
      if (stretch.sending) {
        send(stretch.seconds);
      } else {
        nowMs += 1000.0 * stretch.seconds;
      }
    }
    const TakeVerdict verdict = timed.FinishTake();
    EXPECT_EQ(verdict.inputLost, c.lost);
    if (c.lost) {
      EXPECT_FALSE(verdict.heard) << "no try";
      EXPECT_EQ(timed.LastRow(), -1) << "nothing judged";
    } else {
      EXPECT_TRUE(verdict.heard);
      EXPECT_EQ(timed.LastRow(), 1);
    }
  }
}

}  // namespace
