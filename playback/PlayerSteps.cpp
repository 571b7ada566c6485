#include "playback/Player.h"

// Laying phrases out into the timeline, and the steps of the exercises: practice, teaching
// and sing-back.

bool CPlayer::LayOut(int32_t first, int32_t last, bool fitted) {
  if (const char* problem = CTimelineLayout::Problem(LoadedScore(), first, last)) {
    // Refused before anything is written: stop, leave an empty pass, tell the user.
    StopTimer();
    timeline_.count = 0;
    timeline_.cursor = 0;
    timeline_.elapsedMs = 0;
    platform_.ShowMessage(problem);
    return false;
  }
  layout_.LayOut(LoadedScore(), first, last, timeline_);
  if (fitted && fit_.Range() && autoPlay == 1) {
    // Silent events move too and stay negative, as practice raises them.
    for (int32_t k = 0; k < timeline_.count; ++k)
      timeline_.events[k].pitch += fit_.Shift(layout_.EventRow(k));
  }
  return true;
}

bool CPlayer::LayOutPhrase(int32_t row) {
  if (row < 0 || row >= LoadedScore().phraseCount) return true;
  // Practice moves its passes itself, by its ladder.
  if (!LayOut(row, row + 1, playMode != PracticeMode)) return false;
  phraseIndex = row;
  return true;
}

void CPlayer::BuildPhraseTimeline(int32_t row) { LayOutPhrase(row); }

bool CPlayer::LayOutScore() {
  platform_.KillTimer1();
  const bool wasRunning = timerRunning == 1;
  if (wasRunning && phase_ == PlayerPhase::kCue) platform_.StopCueSound();
  if (wasRunning && phase_ == PlayerPhase::kListening) singBack_.CancelTake();
  timerRunning = 0;
  phase_ = PlayerPhase::kPass;
  notifier_.Deliver(0, true);
  if (wasRunning) TellStopped();
  if (!LayOut(0, LoadedScore().phraseCount, true)) return false;
  playMode = PlayAllMode;
  timeline_.cursor = 0;
  timeline_.elapsedMs = 0;
  return true;
}

void CPlayer::BuildScoreTimeline() {
  if (!LayOutScore()) return;
  if (autoPlay == 1 && timerRunning == 0) StartTimer();
}

// ---- Exercise steps ----

void CPlayer::PracticeStep() {
  // Two passes a level: the step table is walked as far as the phrase's ladder reaches.
  if (stepIndex >= 2 * ladder_.levels) {
    ++phraseIndex;
    stepIndex = 0;
    if (phraseIndex >= LoadedScore().phraseCount) phraseIndex = 0;
    if (!LayOutPhrase(phraseIndex)) return;
  }
  if (stepIndex == 0) ladder_ = fit_.Ladder(phraseIndex);
  const int32_t step = kPracticeSteps[stepIndex];
  // The first pass sounds at the ladder's base: the written pitch without a range.
  const int32_t raise = stepIndex == 0 ? ladder_.base : step;
  ++stepIndex;
  timeline_.cursor = 0;
  timeline_.elapsedMs = 0;
  const int32_t now = platform_.ClockMs();
  if (step == kStepCue) {
    StartWait(PlayerPhase::kCue, now, platform_.StartCueSound(kCueSoundName, now));
    return;
  }
  // Raise the whole pass; the Phrase stays as parsed, so the next build undoes it.
  if (raise != 0) {
    for (int32_t i = 0; i < timeline_.count; ++i) timeline_.events[i].pitch += raise;
  }
  platform_.SetVolume(kFullVolume);
  // After a failed reference note playback stays stopped; continue plays this pass.
  if (timeline_.count > 0 && !SendNoteOn(timeline_.events[0].pitch, now)) return;
  StartWait(PlayerPhase::kReferenceWait, now, kReferenceWaitMs);
}

void CPlayer::TeachingStep() {
  if (stepIndex == kTeachingStepCount) {
    ++phraseIndex;
    stepIndex = 0;
    if (phraseIndex >= LoadedScore().phraseCount) phraseIndex = 0;
    if (!LayOutPhrase(phraseIndex)) return;
  }
  const bool cue = kTeachingSteps[stepIndex] == kStepCue;
  ++stepIndex;
  timeline_.cursor = 0;
  timeline_.elapsedMs = 0;
  if (cue) {
    const int32_t now = platform_.ClockMs();
    StartWait(PlayerPhase::kCue, now, platform_.StartCueSound(kCueSoundName, now));
  } else if (timerRunning == 0) {
    StartTimer();
  }
}

// ---- Sing-back ----

void CPlayer::SingBackWaitOver() {
  const int32_t endMs = waitEndMs_;
  if (!singBack_.HasEar()) {
    // The ear was taken away mid-exercise: nothing can listen, so stop.
    phase_ = PlayerPhase::kPass;
    StopTimer();
    platform_.ShowMessage(kNoEarMessage);
    return;
  }
  if (phase_ == PlayerPhase::kCue) {
    // The cue is over: the learner sings the phrase and the grace.
    const int32_t lengthMs = TakeLengthMs();
    phase_ = PlayerPhase::kListening;
    waitEndMs_ = endMs + lengthMs;
    Notify(PlayerNotification::kListeningBegins, endMs, phraseIndex, -1, 0, 0, lengthMs);
    singBack_.StartTake(phraseIndex, lengthMs);
    return;
  }
  // The take is over: judge it, then retry the phrase or move on.
  CSingBackExercise::Next next = CSingBackExercise::Next::kSamePhrase;
  const TakeVerdict verdict = singBack_.FinishTake(phraseIndex, next);
  if (next == CSingBackExercise::Next::kInputLost) {
    // Nothing to listen to: the exercise stops as a pause would, and says why.
    StopTimer();
    platform_.ShowMessage(kInputLostMessage);
    return;
  }
  PlayerNotification ends;
  ends.kind = PlayerNotification::kListeningEnds;
  ends.atMs = endMs;
  ends.row = phraseIndex;
  ends.attempt = singBack_.Attempt();
  ends.hits = verdict.hits;
  ends.judged = verdict.judged;
  ends.passed = verdict.passed;
  // Nothing of the player sounds during the take, so nothing waits to be told before it.
  notifier_.Deliver(0, true);
  notifier_.TellNow(ends);

  if (next == CSingBackExercise::Next::kOver) {
    phase_ = PlayerPhase::kPass;
    StopTimer();
    return;
  }
  if (next == CSingBackExercise::Next::kNextPhrase) {
    if (!LayOutPhrase(phraseIndex + 1)) return;
    singBack_.FirstTry();
  } else if (next == CSingBackExercise::Next::kSamePhrase) {
    singBack_.RetryPhrase();
  }
  timeline_.cursor = 0;
  timeline_.elapsedMs = 0;
  FinishWait();
}

int32_t CPlayer::TakeLengthMs() const {
  // The phrase lasts until its end marker.
  const int32_t phraseMs = timeline_.count > 0 ? timeline_.events[timeline_.count - 1].timeMs : 0;
  return phraseMs + kListenGraceMs;
}

void CPlayer::OnSingBack(int32_t onlyRow) {
  StopTimer();
  if (!singBack_.HasEar()) {
    platform_.ShowMessage(kNoEarMessage);
    return;
  }
  const bool one = onlyRow >= 0 && onlyRow < LoadedScore().phraseCount;
  phase_ = PlayerPhase::kPass;
  playMode = SingBackMode;
  stepIndex = 0;
  phraseIndex = one ? onlyRow : 0;
  singBack_.Begin(one ? onlyRow + 1 : LoadedScore().phraseCount, LoadedScore().phraseCount);
  if (!LayOutPhrase(phraseIndex)) return;
  timeline_.cursor = 0;
  timeline_.elapsedMs = 0;
  StartTimer();
}
