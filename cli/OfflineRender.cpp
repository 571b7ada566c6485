#include "cli/OfflineRender.h"

#include "cli/PlayModes.h"
#include "cli/RenderPlatform.h"

namespace {

// The pass the player is playing is the plan's last.
bool LastPass(const CPlayer& player, const RenderPlan& plan) {
  const PlayerPosition position = player.Position();
  if (position.phase != PlayerPhase::kPass) return false;
  const bool lastPhrase = player.PhraseIndex() == position.phraseCount - 1;
  switch (plan.mode) {
    case TeachingMode:
    case PracticeMode:
      return lastPhrase && position.pass == position.passCount;
    default:
      // A single pass of the whole score ends by itself; a repeat counts its passes.
      return position.mode == RepeatMode && position.pass >= plan.repeat;
  }
}

// The player's timing without sound: a virtual clock, cues of a given length.
class CTimingOnlyPlatform : public PlayerPlatform {
 public:
  explicit CTimingOnlyPlatform(int32_t cueMs) : cueMs_(cueMs) {}

  void SetTimer1() override { timerSet = true; }
  void KillTimer1() override { timerSet = false; }
  int32_t ClockMs() override { return static_cast<int32_t>(nowMs); }
  int32_t StartCueSound(const char*, int32_t) override { return cueMs_; }
  void StopCueSound() override {}
  void SetVolume(uint32_t) override {}
  void SendShortMessage(uint32_t, int32_t) override {}
  void ShowMessage(const char*) override { failed = true; }

  int64_t nowMs = 0;
  bool timerSet = false;
  bool failed = false;

 private:
  int32_t cueMs_;
};

// Starts the plan's mode as its button does: more than one pass of the whole score is the
// repeat button's play.
void StartPlan(CPlayer& player, const RenderPlan& plan) {
  player.SetRange(plan.range);
  StartPlayMode(player, plan.mode == PlayAllMode && plan.repeat > 1 ? RepeatMode : plan.mode);
}

// The tick at which the plan is complete: it would end the last pass.
bool PlanComplete(const CPlayer& player, const RenderPlan& plan) {
  const EventTimeline& timeline = player.Timeline();
  return timeline.cursor >= timeline.count && LastPass(player, plan);
}

// A platform whose clock moves only when told, one tick at a time.
struct VirtualTicks {
  std::function<bool()> timerSet;
  std::function<void()> advance;
  std::function<bool()> failed;
  // After each tick, told whether it completed the plan; false cancels.
  std::function<bool(bool complete)> afterTick;
};

// Starts the plan and ticks the player on the virtual clock until the plan is complete, the
// timer stops, something fails or afterTick cancels.
RenderOutcome RunPlanTicks(CPlayer& player, const RenderPlan& plan, const VirtualTicks& ticks) {
  StartPlan(player, plan);
  while (ticks.timerSet() && !ticks.failed()) {
    ticks.advance();
    const bool complete = PlanComplete(player, plan);
    if (!complete) player.OnTimer(1);
    if (!ticks.afterTick(complete)) return RenderOutcome::kCancelled;
    if (complete) break;
  }
  return ticks.failed() ? RenderOutcome::kFailed : RenderOutcome::kDone;
}

}  // namespace

int64_t PlannedRenderMs(const char* scoreText, const RenderPlan& plan, int32_t cueMs) {
  CTimingOnlyPlatform platform(cueMs);
  CPlayer player(platform);
  player.SetTempoPercent(plan.tempoPercent);
  {
    CPlayer::CBuildOnlyScope quietly(player);
    player.LoadAndPlay(scoreText);
  }
  if (platform.failed || player.LoadedScore().phraseCount == 0) return -1;
  RunPlanTicks(player, plan,
               {[&] { return platform.timerSet; }, [&] { platform.nowMs += kTimerPeriodMs; },
                [&] { return platform.failed; }, [](bool) { return true; }});
  return platform.nowMs;
}

RenderOutcome RunRender(CPlayer& player, CRenderPlatform& platform, const RenderPlan& plan,
                        const RenderProgress& progress) {
  const size_t messagesBefore = platform.messages.size();
  const auto failed = [&] {
    return platform.messages.size() > messagesBefore || platform.SinkFailed();
  };
  return RunPlanTicks(
      player, plan,
      {[&] { return platform.TimerSet(); }, [&] { platform.AdvanceTick(); }, failed,
       [&](bool complete) {
         // The tick scheduled its notes first; the audio up to it is rendered after them.
         platform.RenderToClock();
         return complete || !progress ||
                progress(platform.RenderedFrames() * 1000 / CRenderPlatform::kSampleRate);
       }});
}
