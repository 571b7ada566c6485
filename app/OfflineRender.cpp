#include "app/OfflineRender.h"

#include <algorithm>

#include "app/PlayModes.h"
#include "app/RenderPlatform.h"

namespace {

// Time from starting timer 1 to the tick that ends a pass whose last event is at endMs: the
// tick that sends the last event, then one more that finds the pass over.
int64_t PassMs(int64_t endMs) {
  const int64_t sendingTicks = std::max<int64_t>(1, (endMs + kTimerPeriodMs - 1) / kTimerPeriodMs);
  return (sendingTicks + 1) * kTimerPeriodMs;
}

// The time of a phrase's end marker, as the player lays it out.
int64_t PhraseEndMs(const Phrase& phrase) {
  return static_cast<int64_t>(phrase.startTimes[phrase.noteCount] * MsPerBeat(phrase));
}

// The pass the player is playing is the plan's last.
bool LastPass(const CPlayer& player, const CRenderPlatform& platform, const RenderPlan& plan) {
  const bool lastPhrase = player.phraseIndex == player.score().phraseCount - 1;
  switch (plan.mode) {
    case TeachingMode:
      return lastPhrase && player.stepIndex == kTeachingStepCount;
    case PracticeMode:
      return lastPhrase && player.stepIndex == kPracticeStepCount;
    default:
      return platform.TimerStarts() >= plan.repeat;
  }
}

}  // namespace

int64_t PlannedRenderMs(const CPlayer& player, const RenderPlan& plan, int64_t cueMs) {
  const Score& score = player.score();
  if (plan.mode == PlayAllMode) {
    // Loaded but stopped, the player holds the whole score's timeline.
    const EventTimeline& timeline = player.timeline();
    const int64_t endMs = timeline.count > 0 ? timeline.events[timeline.count - 1].timeMs : 0;
    return plan.repeat * PassMs(endMs) + (plan.repeat - 1) * int64_t{kRepeatWaitMs};
  }
  int64_t total = 0;
  for (int32_t row = 0; row < score.phraseCount; ++row) {
    const int64_t pass = PassMs(PhraseEndMs(score.phrases[row]));
    if (plan.mode == TeachingMode) {
      total += kTeachingStepCount * pass + cueMs;
    } else {
      // Half the steps sound a reference note and wait, the other half play the cue.
      total += kPracticeStepCount * pass + kPracticeStepCount / 2 * (kReferenceWaitMs + cueMs);
    }
  }
  return total;
}

RenderOutcome RunRender(CPlayer& player, CRenderPlatform& platform, const RenderPlan& plan,
                        const RenderProgress& progress) {
  const size_t messagesBefore = platform.messages.size();
  const auto failed = [&] {
    return platform.messages.size() > messagesBefore || platform.SinkFailed();
  };
  // More than one pass of the whole score is the repeat button's play.
  StartPlayMode(player, plan.mode == PlayAllMode && plan.repeat > 1 ? RepeatMode : plan.mode);
  while (platform.TimerSet() && !failed()) {
    platform.RenderMs(kTimerPeriodMs);
    const EventTimeline& timeline = player.timeline();
    // This tick would end the last pass: the render is complete.
    if (timeline.cursor >= timeline.count && LastPass(player, platform, plan)) break;
    player.OnTimer(1);
    if (progress && !progress(platform.RenderedFrames() * 1000 / CRenderPlatform::kSampleRate))
      return RenderOutcome::kCancelled;
  }
  return failed() ? RenderOutcome::kFailed : RenderOutcome::kDone;
}
