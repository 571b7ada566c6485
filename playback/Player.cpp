#include "playback/Player.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <utility>

#include "notation/ScoreParseError.h"

const int32_t kPracticeSteps[kPracticeStepCount] = {
    0, kStepCue, 1, kStepCue, 1, kStepCue, 1, kStepCue, 1, kStepCue, 1, kStepCue,
    1, kStepCue, 1, kStepCue, 1, kStepCue, 1, kStepCue, 1, kStepCue, 1, kStepCue};
const int32_t kTeachingSteps[kTeachingStepCount] = {0, kStepCue};
static_assert(kPracticeStepCount == 2 * kPracticeLevels, "two practice passes a level");

const char kBuiltInScore[] =
    "s=100,0.1,1,0.1,2,0.1,3,0.1,4,0.1,5,0.1,6,0.1,7,1,10|0.1,1,0.1,3,0.1,5,0.1,3,1,1|"
    "1,1,1,3,1,5,1,3,0.1,1,0.1,3,0.1,5,0.1,3,10,1|0.11,10,0.01,10,0.11,5,0.01,5,0.11,3,"
    "0.01,3,0.11,1,0.01,1,0.11,5,0.01,4,0.11,3,0.01,2,10,1";
static_assert(sizeof(kBuiltInScore) == 216 + 1, "the built-in score has 216 characters");

const char kTextTooLongMessage[] = "The score text is too long: at most 29999 bytes can be loaded.";

namespace {

// Clock readings are 32-bit milliseconds that may wrap: compare them by difference.
int32_t MsBetween(int32_t from, int32_t to) {
  return static_cast<int32_t>(static_cast<uint32_t>(to) - static_cast<uint32_t>(from));
}

}  // namespace

CPlayer::CPlayer(PlayerPlatform& platform)
    : platform_(platform),
      score_(new Score),
      scratch_(new Score),
      textBuffer_(new char[kTextBufferSize]()) {}

void CPlayer::LoadBuiltInAtStartup() {
  try {
    ParseScore(kBuiltInScore, static_cast<int32_t>(std::strlen(kBuiltInScore)), *score_);
  } catch (const ScoreParseError& error) {
    // Only the side files can fail here, after the Score is complete: report and go on.
    platform_.ShowMessage(error.what());
  }
  fit_.Fit(*score_, fit_.range());
  BuildPhraseTimeline(0);
  timeline_.cursor = 0;
  timeline_.elapsedMs = 0;
}

void CPlayer::RemoveObserver(PlayerObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void CPlayer::SetRange(const std::optional<VoiceRange>& range) {
  fit_.Fit(*score_, range);
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
  position.phraseCount = score_->phraseCount;
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
      position.phrase = soundingRow_;
      position.pass = repeatPasses_;
      position.passCount = 0;
      break;
    case SingBackMode:
      position.phrase = phraseIndex;
      position.pass = singBack_.Attempt();
      position.passCount = kSingBackTries;
      break;
    default:
      position.phrase = soundingRow_;
      position.pass = 1;
      position.passCount = 1;
      break;
  }
  position.semitones = fit_.Shift(position.phrase);
  return position;
}

// ---- Notifications ----

void CPlayer::Notify(PlayerNotification::Kind kind, int32_t dueMs, int32_t row, int32_t note,
                     int32_t pitch, int32_t passTimeMs, int32_t lengthMs) {
  if (observers_.empty()) return;
  PlayerNotification notification;
  notification.kind = kind;
  notification.atMs = dueMs + platform_.OutputLatencyMs();
  notification.row = row;
  notification.note = note;
  notification.pitch = pitch;
  notification.passTimeMs = passTimeMs;
  notification.lengthMs = lengthMs;
  // Heard already (no output latency) and nothing before it waits: tell observers now.
  if (pending_.Empty() && MsBetween(notification.atMs, dueMs) >= 0) {
    if (kind == PlayerNotification::kNote) soundingRow_ = row;
    for (PlayerObserver* observer : observers_) observer->OnPlayerNotification(notification);
    return;
  }
  if (pending_.Full()) {
    const PlayerNotification early = pending_.Pop();
    if (early.kind == PlayerNotification::kNote) soundingRow_ = early.row;
    for (PlayerObserver* observer : observers_) observer->OnPlayerNotification(early);
  }
  pending_.Push(notification);
}

void CPlayer::Deliver(int32_t nowMs, bool all) {
  while (!pending_.Empty() && (all || MsBetween(pending_.Front().atMs, nowMs) >= 0)) {
    const PlayerNotification notification = pending_.Pop();
    if (notification.kind == PlayerNotification::kNote) soundingRow_ = notification.row;
    for (PlayerObserver* observer : observers_) observer->OnPlayerNotification(notification);
  }
}

// ---- Timer and sending ----

void CPlayer::StartTimer() {
  platform_.SetVolume(kFullVolume);
  startTick = platform_.ClockMs();
  phase_ = PlayerPhase::kPass;
  timerRunning = 1;
  platform_.SetTimer1();
  Notify(PlayerNotification::kPassBegins, startTick, phraseIndex);
}

void CPlayer::StopTimer() {
  if (timerRunning == 1) {
    platform_.KillTimer1();
    timerRunning = 0;
    if (phase_ == PlayerPhase::kCue) platform_.StopCueSound();
    if (phase_ == PlayerPhase::kListening) singBack_.CancelTake();
    // Notes already sent still sound: their notifications go out now rather than never.
    Deliver(0, true);
    TellStopped();
  }
}

void CPlayer::TellStopped() {
  PlayerNotification stopped;
  stopped.kind = PlayerNotification::kStopped;
  stopped.row = phraseIndex;
  for (PlayerObserver* observer : observers_) observer->OnPlayerNotification(stopped);
}

void CPlayer::StartWait(PlayerPhase phase, int32_t fromMs, int32_t lengthMs) {
  phase_ = phase;
  waitEndMs_ = fromMs + lengthMs;
  Notify(
      phase == PlayerPhase::kCue ? PlayerNotification::kCueBegins : PlayerNotification::kWaitBegins,
      fromMs, phraseIndex, -1, 0, 0, lengthMs);
  if (timerRunning == 0) {
    timerRunning = 1;
    platform_.SetTimer1();
  }
}

void CPlayer::FinishWait() {
  // What StartTimer does after a wait, with the pass starting exactly where the wait ends.
  platform_.SetVolume(kFullVolume);
  startTick = waitEndMs_;
  phase_ = PlayerPhase::kPass;
  Notify(PlayerNotification::kPassBegins, startTick, phraseIndex);
}

bool CPlayer::SendNoteOn(int32_t pitch, int32_t dueMs) {
  // A key above 127 would spill into the velocity byte: it is never sent.
  if (pitch <= 0 || pitch > 127) return true;
  try {
    platform_.SendShortMessage(NoteOnMessage(pitch), dueMs);
  } catch (const std::exception& error) {
    StopTimer();
    platform_.ShowMessage(error.what());
    return false;
  }
  return true;
}

void CPlayer::OnTimer(int32_t id) {
  if (id != 1) return;
  // One clock reading serves the whole tick.
  const bool running = timerRunning == 1;
  const int32_t now = running ? platform_.ClockMs() : 0;
  Tick(running, now);
  if (timerRunning == 1) Deliver(now, false);
}

void CPlayer::Tick(bool running, int32_t now) {
  EventTimeline& timeline = timeline_;
  if (running && phase_ != PlayerPhase::kPass) {
    if (MsBetween(waitEndMs_, now) < 0) return;  // still waiting: nothing sounds
    if (playMode == SingBackMode) {
      SingBackWaitOver();
      if (phase_ != PlayerPhase::kPass || timerRunning == 0) return;
    } else {
      FinishWait();
    }
  }

  if (timeline.cursor >= timeline.count) {
    // The pass is over: the mode decides what follows.
    switch (playMode) {
      case PlayAllMode:
        timeline.cursor = 0;
        timeline.elapsedMs = 0;
        StopTimer();
        break;
      case RepeatMode: {
        timeline.cursor = 0;
        timeline.elapsedMs = 0;
        StopTimer();
        const int32_t waitFrom = platform_.ClockMs();
        if (!LayOutScore()) break;
        playMode = RepeatMode;
        // The next pass follows the repeat wait.
        if (autoPlay == 1) {
          ++repeatPasses_;
          StartWait(PlayerPhase::kRepeatWait, waitFrom, kRepeatWaitMs);
        }
        break;
      }
      case PracticeMode:
        StopTimer();
        PracticeStep();
        break;
      case TeachingMode:
        StopTimer();
        TeachingStep();
        break;
      case SingBackMode: {
        // The pass is over: the cue, then the take. The piano's last note dies away under
        // the cue, so the take starts once the speakers have gone quiet.
        if (!running) break;
        timeline.cursor = 0;
        timeline.elapsedMs = 0;
        StartWait(PlayerPhase::kCue, now, platform_.StartCueSound(kCueSoundName, now));
        break;
      }
      default:
        break;
    }
    return;
  }

  if (!running) return;
  timeline.elapsedMs = MsBetween(startTick, now);
  const NoteEvent* const events = timeline.events.get();
  while (timeline.cursor < timeline.count && events[timeline.cursor].timeMs <= timeline.elapsedMs) {
    const int32_t k = timeline.cursor;
    const NoteEvent& event = events[k];
    ++timeline.cursor;
    // Each note sounds at its exact time in the pass, however late this tick is.
    const int32_t dueMs = static_cast<int32_t>(static_cast<uint32_t>(startTick) +
                                               static_cast<uint32_t>(event.timeMs));
    if (!SendNoteOn(event.pitch, dueMs)) return;
    const int32_t row = layout_.EventRow(k);
    const int32_t note = layout_.EventNote(k);
    // The phrase's end marker is no note; rests are, and are shown.
    if (note < score_->phrases[row].noteCount)
      Notify(PlayerNotification::kNote, dueMs, row, note, event.pitch, event.timeMs);
  }
}

// ---- Building timelines ----

bool CPlayer::LayOut(int32_t first, int32_t last, bool fitted) {
  if (const char* problem = CTimelineLayout::Problem(*score_, first, last)) {
    // Refused before anything is written: stop, leave an empty pass, tell the user.
    StopTimer();
    timeline_.count = 0;
    timeline_.cursor = 0;
    timeline_.elapsedMs = 0;
    platform_.ShowMessage(problem);
    return false;
  }
  layout_.LayOut(*score_, first, last, timeline_);
  if (fitted && fit_.range() && autoPlay == 1) {
    // Silent events move too and stay negative, as practice raises them.
    for (int32_t k = 0; k < timeline_.count; ++k)
      timeline_.events[k].pitch += fit_.Shift(layout_.EventRow(k));
  }
  return true;
}

bool CPlayer::LayOutPhrase(int32_t row) {
  if (row < 0 || row >= score_->phraseCount) return true;
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
  Deliver(0, true);
  if (wasRunning) TellStopped();
  if (!LayOut(0, score_->phraseCount, true)) return false;
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
    if (phraseIndex >= score_->phraseCount) phraseIndex = 0;
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
    if (phraseIndex >= score_->phraseCount) phraseIndex = 0;
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
  Deliver(0, true);
  for (PlayerObserver* observer : observers_) observer->OnPlayerNotification(ends);

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
  const bool one = onlyRow >= 0 && onlyRow < score_->phraseCount;
  phase_ = PlayerPhase::kPass;
  playMode = SingBackMode;
  stepIndex = 0;
  phraseIndex = one ? onlyRow : 0;
  singBack_.Begin(one ? onlyRow + 1 : score_->phraseCount, score_->phraseCount);
  if (!LayOutPhrase(phraseIndex)) return;
  timeline_.cursor = 0;
  timeline_.elapsedMs = 0;
  StartTimer();
}

// ---- Commands ----

void CPlayer::OnPractice() {
  if (timerRunning == 1) {
    // Also during a wait or cue: practice moves on at once.
    StopTimer();
    stepIndex = 0;
    if (playMode == PracticeMode) ++phraseIndex;
    if (phraseIndex >= score_->phraseCount) phraseIndex = 0;
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
  lastFault_ = ParseFault{};
  // The text up to its first zero byte, as a C string copy would take it.
  const size_t length = std::strlen(scoreText.c_str());
  if (length >= static_cast<size_t>(kTextBufferSize)) {
    platform_.ShowMessage(kTextTooLongMessage);
    return;
  }
  std::memcpy(textBuffer_.get(), scoreText.c_str(), length);
  textBuffer_[length] = '\0';
  LoadAndPlay(textBuffer_.get());
}

void CPlayer::LoadAndPlay(const char* text) {
  if (text == nullptr || text[0] == '\0') return;
  const size_t fullLength = std::strlen(text);
  if (fullLength > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    platform_.ShowMessage(kTextTooLongMessage);
    return;
  }
  const int32_t length = static_cast<int32_t>(fullLength);

  // The text is parsed into the scratch Score, which takes the loaded one's place once it has
  // passed every check: a bad text leaves everything as it was.
  Score& scratch = *scratch_;
  lastFault_ = ParseFault{};
  try {
    ParseScore(text, length, scratch);
  } catch (const ScoreParseError& error) {
    lastFault_ = {error.PhraseOffset(), error.PhraseLength(), error.NumberOffset(),
                  error.NumberLength()};
    platform_.ShowMessage(error.what());
    return;
  }
  if (scratch.phraseCount == 0) return;
  if (const char* problem = CTimelineLayout::Problem(scratch, 0, scratch.phraseCount)) {
    platform_.ShowMessage(problem);
    return;
  }
  std::swap(score_, scratch_);
  fit_.Fit(*score_, fit_.range());
  ++loads_;
  phraseIndex = 0;
  soundingRow_ = 0;
  timeline_.cursor = 0;
  timeline_.elapsedMs = 0;
  BuildScoreTimeline();
}
