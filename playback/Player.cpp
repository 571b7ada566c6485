#include "playback/Player.h"

#include <cstring>
#include <exception>
#include <limits>

#include "notation/ScoreParseError.h"
#include "playback/TextBuffer.h"

const int32_t kPracticeSteps[kPracticeStepCount] = {0, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10,
                                                    1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10};
const int32_t kTeachingSteps[kTeachingStepCount] = {0, 10};

const char kBuiltInScore[] =
    "s=100,0.1,1,0.1,2,0.1,3,0.1,4,0.1,5,0.1,6,0.1,7,1,10|0.1,1,0.1,3,0.1,5,0.1,3,1,1|"
    "1,1,1,3,1,5,1,3,0.1,1,0.1,3,0.1,5,0.1,3,10,1|0.11,10,0.01,10,0.11,5,0.01,5,0.11,3,"
    "0.01,3,0.11,1,0.01,1,0.11,5,0.01,4,0.11,3,0.01,2,10,1";
static_assert(sizeof(kBuiltInScore) == 216 + 1, "the built-in score has 216 characters");

const char kTextTooLongMessage[] = "The score text is too long: at most 29999 bytes can be loaded.";
const char kTooManyEventsMessage[] =
    "The score is too long to play: the timeline holds at most 60000 events.";
const char kTooLongInTimeMessage[] =
    "The score is too long to play: it lasts more than 2147483647 milliseconds.";

namespace {

bool FitsInt32(double value) { return value >= -2147483648.0 && value < 2147483648.0; }

// Walks the events of phrases [first, last) in layout order, phrases end to end, handing
// each (pitch, timeMs) to `visit`. Every phrase keeps its own tempo; times within a phrase
// are truncated, the running offset is kept in double precision. Returns the message of
// the first time that does not fit 32 bits, else nullptr.
template <typename Visit>
const char* WalkLayout(const Score& score, int32_t first, int32_t last, Visit&& visit) {
  double offset = 0.0;
  for (int32_t row = first; row < last; ++row) {
    const Phrase& phrase = score.phrases[row];
    const int32_t msPerBeat = MsPerBeat(phrase);
    const int32_t n = phrase.noteCount;
    for (int32_t i = 0; i <= n; ++i) {
      const double local = phrase.startTimes[i] * msPerBeat;
      if (!FitsInt32(local)) return kTooLongInTimeMessage;
      const double time = static_cast<int32_t>(local) + offset;
      if (!FitsInt32(time)) return kTooLongInTimeMessage;
      visit(NoteEvent{phrase.pitches[i], static_cast<int32_t>(time)});
    }
    offset += static_cast<double>(msPerBeat) * phrase.startTimes[n];
  }
  return nullptr;
}

// Why phrases [first, last) cannot be laid out, or nullptr when they fit the timeline.
const char* LayoutProblem(const Score& score, int32_t first, int32_t last) {
  int64_t events = 0;
  for (int32_t row = first; row < last; ++row) events += score.phrases[row].noteCount + 1;
  if (events > kTimelineCapacity) return kTooManyEventsMessage;
  return WalkLayout(score, first, last, [](const NoteEvent&) {});
}

}  // namespace

int32_t MsPerBeat(const Phrase& phrase) { return 60000 / (phrase.tempo > 0 ? phrase.tempo : 120); }

CPlayer::CPlayer(PlayerPlatform& platform) : platform_(platform), score_(new Score) {}

void CPlayer::LoadBuiltInAtStartup() {
  try {
    ParseScore(kBuiltInScore, static_cast<int32_t>(std::strlen(kBuiltInScore)), *score_);
  } catch (const ScoreParseError& error) {
    // Only the side files can fail here, after the Score is complete: report and go on.
    platform_.ShowMessage(error.what());
  }
  BuildPhraseTimeline(0);
  timeline_.cursor = 0;
  timeline_.elapsedMs = 0;
}

// ---- Timer and sending ----

void CPlayer::StartTimer() {
  platform_.SetVolume(kFullVolume);
  startTick = platform_.ClockMs();
  timerRunning = 1;
  platform_.SetTimer1();
}

void CPlayer::StopTimer() {
  if (timerRunning == 1) {
    platform_.KillTimer1();
    timerRunning = 0;
  }
}

bool CPlayer::SendNoteOn(int32_t pitch) {
  // A key above 127 would spill into the velocity byte: it is never sent.
  if (pitch <= 0 || pitch > 127) return true;
  try {
    platform_.SendShortMessage(NoteOnMessage(pitch));
  } catch (const std::exception& error) {
    StopTimer();
    platform_.ShowMessage(error.what());
    return false;
  }
  return true;
}

void CPlayer::OnTimer(int32_t id) {
  if (id != 1) return;
  EventTimeline& timeline = timeline_;

  if (timeline.cursor >= timeline.count) {
    // The pass is over: the mode decides what follows.
    switch (playMode) {
      case PlayAllMode:
        timeline.cursor = 0;
        timeline.elapsedMs = 0;
        StopTimer();
        break;
      case RepeatMode:
        timeline.cursor = 0;
        timeline.elapsedMs = 0;
        StopTimer();
        platform_.SleepMs(kRepeatWaitMs);
        BuildScoreTimeline();
        playMode = RepeatMode;
        break;
      case PracticeMode:
        StopTimer();
        PracticeStep();
        break;
      case TeachingMode:
        StopTimer();
        TeachingStep();
        break;
      default:
        break;
    }
    return;
  }

  if (timerRunning != 1) return;
  // Unsigned difference: correct across a wrap of the 32-bit clock.
  timeline.elapsedMs = static_cast<int32_t>(static_cast<uint32_t>(platform_.ClockMs()) -
                                            static_cast<uint32_t>(startTick));
  const NoteEvent* const events = timeline.events.get();
  while (timeline.cursor < timeline.count && events[timeline.cursor].timeMs <= timeline.elapsedMs) {
    const int32_t pitch = events[timeline.cursor].pitch;
    ++timeline.cursor;
    if (!SendNoteOn(pitch)) return;
  }
}

// ---- Building timelines ----

bool CPlayer::LayOut(int32_t first, int32_t last) {
  if (const char* problem = LayoutProblem(*score_, first, last)) {
    // Refused before anything is written: stop, leave an empty pass, tell the user.
    StopTimer();
    timeline_.count = 0;
    timeline_.cursor = 0;
    timeline_.elapsedMs = 0;
    platform_.ShowMessage(problem);
    return false;
  }
  timeline_.count = 0;
  WalkLayout(*score_, first, last, [this](const NoteEvent& event) { timeline_.Insert(event); });
  return true;
}

bool CPlayer::LayOutPhrase(int32_t row) {
  if (row < 0 || row >= score_->phraseCount) return true;
  if (!LayOut(row, row + 1)) return false;
  phraseIndex = row;
  return true;
}

void CPlayer::BuildPhraseTimeline(int32_t row) { LayOutPhrase(row); }

void CPlayer::BuildScoreTimeline() {
  platform_.KillTimer1();
  timerRunning = 0;
  if (!LayOut(0, score_->phraseCount)) return;
  playMode = PlayAllMode;
  timeline_.cursor = 0;
  timeline_.elapsedMs = 0;
  if (autoPlay == 1 && timerRunning == 0) StartTimer();
}

// ---- Exercise steps ----

void CPlayer::PracticeStep() {
  if (stepIndex == kPracticeStepCount) {
    ++phraseIndex;
    stepIndex = 0;
    if (phraseIndex >= score_->phraseCount) phraseIndex = 0;
    if (!LayOutPhrase(phraseIndex)) return;
  }
  const int32_t step = kPracticeSteps[stepIndex];
  bool sent = true;
  if (step == 10) {
    platform_.PlayCueSound(kCueSoundName);
  } else {
    // Raise the whole pass; the Phrase stays as parsed, so the next build undoes it.
    if (step != 0) {
      for (int32_t i = 0; i < timeline_.count; ++i) timeline_.events[i].pitch += step;
    }
    platform_.SetVolume(kFullVolume);
    if (timeline_.count > 0) sent = SendNoteOn(timeline_.events[0].pitch);
    if (sent) platform_.SleepMs(kReferenceWaitMs);
  }
  ++stepIndex;
  timeline_.cursor = 0;
  timeline_.elapsedMs = 0;
  // After a failed reference note playback stays stopped; continue plays this pass.
  if (sent && timerRunning == 0) StartTimer();
}

void CPlayer::TeachingStep() {
  if (stepIndex == kTeachingStepCount) {
    ++phraseIndex;
    stepIndex = 0;
    if (phraseIndex >= score_->phraseCount) phraseIndex = 0;
    if (!LayOutPhrase(phraseIndex)) return;
  }
  if (kTeachingSteps[stepIndex] == 10) platform_.PlayCueSound(kCueSoundName);
  ++stepIndex;
  timeline_.cursor = 0;
  timeline_.elapsedMs = 0;
  if (timerRunning == 0) StartTimer();
}

// ---- Commands ----

void CPlayer::OnPractice() {
  if (timerRunning == 1) {
    platform_.KillTimer1();
    timerRunning = 0;
    stepIndex = 0;
    if (playMode == PracticeMode) ++phraseIndex;
    if (phraseIndex >= score_->phraseCount) phraseIndex = 0;
  } else {
    stepIndex = 0;
    phraseIndex = 0;
  }
  playMode = PracticeMode;
  if (!LayOutPhrase(phraseIndex)) return;
  PracticeStep();
}

void CPlayer::OnContinue() {
  if (timerRunning == 1) return;
  platform_.SetVolume(kFullVolume);
  startTick = static_cast<int32_t>(static_cast<uint32_t>(platform_.ClockMs()) -
                                   static_cast<uint32_t>(timeline_.elapsedMs));
  timerRunning = 1;
  platform_.SetTimer1();
}

void CPlayer::OnPause() { StopTimer(); }

void CPlayer::OnTeaching() {
  StopTimer();
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
}

void CPlayer::OnRestoreBuiltIn() { LoadAndPlay(kBuiltInScore); }

void CPlayer::OnLoad(const std::string& scoreText) {
  // The text up to its first zero byte, as a C string copy would take it.
  const size_t length = std::strlen(scoreText.c_str());
  if (length >= static_cast<size_t>(kTextBufferSize)) {
    platform_.ShowMessage(kTextTooLongMessage);
    return;
  }
  std::memcpy(textBuffer, scoreText.c_str(), length);
  textBuffer[length] = '\0';
  LoadAndPlay(textBuffer);
}

void CPlayer::LoadAndPlay(const char* text) {
  if (text == nullptr || text[0] == '\0') return;
  const size_t fullLength = std::strlen(text);
  if (fullLength > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    platform_.ShowMessage(kTextTooLongMessage);
    return;
  }
  const int32_t length = static_cast<int32_t>(fullLength);

  // Try the text out on the scratch Score first: a bad text leaves everything as it was.
  Score& scratch = ScratchScore();
  try {
    ParseScore(text, length, scratch);
  } catch (const ScoreParseError& error) {
    platform_.ShowMessage(error.what());
    return;
  }
  if (scratch.phraseCount == 0) return;
  if (const char* problem = LayoutProblem(scratch, 0, scratch.phraseCount)) {
    platform_.ShowMessage(problem);
    return;
  }

  try {
    ParseScore(text, length, *score_);
  } catch (const ScoreParseError& error) {
    // The same text parsed a moment ago, so only the side files can fail now, after the
    // Score is complete: report it and play what was loaded.
    platform_.ShowMessage(error.what());
  }
  phraseIndex = 0;
  timeline_.cursor = 0;
  timeline_.elapsedMs = 0;
  BuildScoreTimeline();
}
