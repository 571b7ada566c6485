#include "playback/Player.h"

#include <algorithm>
#include <cstring>

#include "playback/ClockMs.h"

const int32_t kPracticeSteps[kPracticeStepCount] = {
    0, kStepCue, 1, kStepCue, 1, kStepCue, 1, kStepCue, 1, kStepCue, 1, kStepCue,
    1, kStepCue, 1, kStepCue, 1, kStepCue, 1, kStepCue, 1, kStepCue, 1, kStepCue};
const int32_t kTeachingSteps[kTeachingStepCount] = {0, kStepCue};
static_assert(kPracticeStepCount == 2 * kPracticeLevels, "two practice passes a level");

CPlayer::CPlayer(PlayerPlatform& platform)
    : platform_(platform), loader_(platform), notifier_(platform) {}

void CPlayer::LoadBuiltInAtStartup() {
  loader_.ParseBuiltIn();
  fit_.Fit(LoadedScore(), fit_.Range());
  BuildPhraseTimeline(0);
  timeline_.cursor = 0;
  timeline_.elapsedMs = 0;
}

void CPlayer::SetRange(const std::optional<VoiceRange>& range) {
  fit_.Fit(LoadedScore(), range);
  const bool phraseMode = playMode == TeachingMode || playMode == SingBackMode;
  if (phraseMode && timerRunning == 0 && timeline_.count > 0 && LayOutPhrase(phraseIndex)) {
    timeline_.cursor = 0;
    timeline_.elapsedMs = 0;
  }
}

PlayerPosition CPlayer::Position() const {
  PlayerPosition position;
  position.playing = timerRunning == 1;
  position.mode = playMode;
  position.phase = phase_;
  position.phraseCount = LoadedScore().phraseCount;
  switch (playMode) {
    case PracticeMode:
      position.phrase = phraseIndex;
      position.pass = stepIndex;
      position.passCount = 2 * ladder_.levels;
      // The first level is the ladder's base; every even step from 2 on raised the pass by one
      // more semitone.
      position.semitones = ladder_.base + (stepIndex > 0 ? (stepIndex - 1) / 2 : 0);
      return position;
    case TeachingMode:
      position.phrase = phraseIndex;
      position.pass = stepIndex;
      position.passCount = kTeachingStepCount;
      break;
    case RepeatMode:
      position.phrase = notifier_.SoundingRow();
      position.pass = repeatPasses_;
      position.passCount = 0;
      break;
    case SingBackMode:
      position.phrase = phraseIndex;
      position.pass = singBack_.Attempt();
      position.passCount = kSingBackTries;
      break;
    default:
      position.phrase = notifier_.SoundingRow();
      position.pass = 1;
      position.passCount = 1;
      break;
  }
  position.semitones = fit_.Shift(position.phrase);
  return position;
}

// ---- Commands ----

void CPlayer::OnPractice() {
  if (timerRunning == 1) {
    // Also during a wait or cue: practice moves on at once.
    StopTimer();
    stepIndex = 0;
    if (playMode == PracticeMode) ++phraseIndex;
    if (phraseIndex >= LoadedScore().phraseCount) phraseIndex = 0;
  } else {
    stepIndex = 0;
    phraseIndex = 0;
  }
  phase_ = PlayerPhase::kPass;
  playMode = PracticeMode;
  if (!LayOutPhrase(phraseIndex)) return;
  PracticeStep();
}

void CPlayer::OnContinue() {
  if (timerRunning == 1) return;
  // A finished exercise has nothing left to resume; its summary stands.
  if (playMode == SingBackMode && singBack_.Over()) return;
  platform_.SetVolume(kFullVolume);
  const int32_t now = platform_.ClockMs();
  if (phase_ == PlayerPhase::kPass) {
    startTick = static_cast<int32_t>(static_cast<uint32_t>(now) -
                                     static_cast<uint32_t>(timeline_.elapsedMs));
  } else if (phase_ == PlayerPhase::kListening) {
    // A take cannot be resumed halfway (the judge lines it up from its start): the cue
    // sounds again and the same try starts afresh.
    StartWait(PlayerPhase::kCue, now, platform_.StartCueSound(kCueSoundName, now));
    return;
  } else {
    // Paused during a wait or cue: the rest of it, then the pass.
    waitEndMs_ = now + waitRemainingMs_;
  }
  timerRunning = 1;
  platform_.SetTimer1();
}

void CPlayer::OnPause() {
  if (timerRunning == 1 && phase_ != PlayerPhase::kPass)
    waitRemainingMs_ = std::max(0, MsBetween(platform_.ClockMs(), waitEndMs_));
  StopTimer();
}

void CPlayer::OnTeaching() {
  StopTimer();
  phase_ = PlayerPhase::kPass;
  playMode = TeachingMode;
  stepIndex = 0;
  phraseIndex = 0;
  if (!LayOutPhrase(0)) return;
  TeachingStep();
}

void CPlayer::OnPlayAll() {
  StopTimer();
  BuildScoreTimeline();
}

void CPlayer::OnRepeat() {
  StopTimer();
  BuildScoreTimeline();
  playMode = RepeatMode;
  repeatPasses_ = timerRunning == 1 ? 1 : 0;
}

void CPlayer::OnRestoreBuiltIn() { LoadAndPlay(kBuiltInScore); }

void CPlayer::OnLoad(const std::string& scoreText) {
  if (const char* text = loader_.CopyToBuffer(scoreText)) LoadAndPlay(text);
}

void CPlayer::LoadAndPlay(const char* text) {
  if (!loader_.Load(text)) return;
  fit_.Fit(LoadedScore(), fit_.Range());
  phraseIndex = 0;
  notifier_.ResetSoundingRow();
  timeline_.cursor = 0;
  timeline_.elapsedMs = 0;
  BuildScoreTimeline();
}
