#include <exception>

#include "playback/ClockMs.h"
#include "playback/Player.h"

// The timer, its waits and what a tick sends; observers are told through the notifier.

void CPlayer::Notify(PlayerNotification::Kind kind, int32_t dueMs, int32_t row, int32_t note,
                     int32_t pitch, int32_t passTimeMs, int32_t lengthMs) {
  PlayerNotification notification;
  notification.kind = kind;
  notification.row = row;
  notification.note = note;
  notification.pitch = pitch;
  notification.passTimeMs = passTimeMs;
  notification.lengthMs = lengthMs;
  notifier_.Notify(notification, dueMs);
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
    notifier_.Deliver(0, true);
    TellStopped();
  }
}

void CPlayer::TellStopped() {
  PlayerNotification stopped;
  stopped.kind = PlayerNotification::kStopped;
  stopped.row = phraseIndex;
  notifier_.TellNow(stopped);
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
  if (timerRunning == 1) notifier_.Deliver(now, false);
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
    if (note < LoadedScore().phrases[row].noteCount)
      Notify(PlayerNotification::kNote, dueMs, row, note, event.pitch, event.timeMs);
  }
}
