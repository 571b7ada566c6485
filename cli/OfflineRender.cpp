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
  StartPlayMode(player, plan.mode == PlayAllMode && plan.repeat > 1 ? RepeatMode : plan.mode);
}

// The tick at which the plan is complete: it would end the last pass.
bool PlanComplete(const CPlayer& player, const RenderPlan& plan) {
  const EventTimeline& timeline = player.timeline();
  return timeline.cursor >= timeline.count && LastPass(player, plan);
}

}  // namespace

int64_t PlannedRenderMs(const char* scoreText, const RenderPlan& plan, int32_t cueMs) {
  CTimingOnlyPlatform platform(cueMs);
  CPlayer player(platform);
  {
    CPlayer::BuildOnlyScope quietly(player);
    player.LoadAndPlay(scoreText);
  }
  if (platform.failed || player.score().phraseCount == 0) return -1;
  StartPlan(player, plan);
  while (platform.timerSet && !platform.failed) {
    platform.nowMs += kTimerPeriodMs;
    if (PlanComplete(player, plan)) break;
    player.OnTimer(1);
  }
  return platform.nowMs;
}

RenderOutcome RunRender(CPlayer& player, CRenderPlatform& platform, const RenderPlan& plan,
                        const RenderProgress& progress) {
  const size_t messagesBefore = platform.messages.size();
  const auto failed = [&] {
    return platform.messages.size() > messagesBefore || platform.SinkFailed();
  };
  StartPlan(player, plan);
  while (platform.TimerSet() && !failed()) {
    platform.AdvanceTick();
    const bool complete = PlanComplete(player, plan);
    // The tick schedules its notes first; the audio up to it is rendered after them.
    if (!complete) player.OnTimer(1);
    platform.RenderToClock();
    if (complete) break;
    if (progress && !progress(platform.RenderedFrames() * 1000 / CRenderPlatform::kSampleRate))
      return RenderOutcome::kCancelled;
  }
  return failed() ? RenderOutcome::kFailed : RenderOutcome::kDone;
}
