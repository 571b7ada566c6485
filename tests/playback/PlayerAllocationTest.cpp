// Nothing is allocated while playing: every global allocation is counted while the player
// runs passes of every mode, including the rebuilds between them.
#include <gtest/gtest.h>

#include "playback/Player.h"
#include "tests/playback/AllocationCounter.h"
#include "tests/playback/PlayerFixture.h"

namespace {

class PlayerAllocationTest : public PlayerFixture {
 protected:
  void SetUp() override { player.LoadBuiltInAtStartup(); }

  long AllocationsDuring(int passes) {
    const long before = AllocationCount();
    for (int i = 0; i < passes; ++i) {
      while (platform.timerSet) {
        const size_t calls = platform.calls.size();
        Tick();
        // A pass has ended when the tick stopped the timer (it may have restarted it).
        bool ended = false;
        for (size_t c = calls; c < platform.calls.size(); ++c)
          ended = ended || platform.calls[c].kind == FakePlatform::kKillTimer;
        if (ended) break;
      }
    }
    return AllocationCount() - before;
  }
};

TEST_F(PlayerAllocationTest, CountingWorks) {
  const long before = AllocationCount();
  int* volatile p = new int(1);  // volatile: the allocation may not be elided
  delete p;
  EXPECT_EQ(AllocationCount() - before, 1);
}

TEST_F(PlayerAllocationTest, NoAllocationWhilePlayingInAnyMode) {
  player.OnPractice();
  EXPECT_EQ(AllocationsDuring(30), 0) << "practice: passes, steps, a phrase change";
  player.OnTeaching();
  EXPECT_EQ(AllocationsDuring(4), 0) << "teaching";
  player.OnRepeat();
  EXPECT_EQ(AllocationsDuring(3), 0) << "repeat: whole-score rebuilds";
  player.OnPlayAll();
  EXPECT_EQ(AllocationsDuring(1), 0) << "play all";
  EXPECT_GT(platform.NotesSince().size(), 100u);
}

// An ear that hears every other take pass, and allocates nothing.
class AlternatingEar : public PlayerEar {
 public:
  void StartTake(int32_t, int32_t) override {}
  TakeVerdict FinishTake() override {
    TakeVerdict verdict;
    verdict.passed = (++takes_ % 2) == 0;
    return verdict;
  }
  void CancelTake() override {}

 private:
  int takes_ = 0;
};

TEST_F(PlayerAllocationTest, NoAllocationWhileSingingBack) {
  AlternatingEar ear;
  player.SetEar(&ear);
  player.OnSingBack();
  const long before = AllocationCount();
  TickWhileRunning(100000);
  EXPECT_EQ(AllocationCount() - before, 0) << "passes, cues, takes and phrase changes";
  EXPECT_FALSE(player.Playing());
  EXPECT_EQ(player.SingBackResults()[3].tries, 2);
}

}  // namespace
