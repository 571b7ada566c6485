#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "notation/Score.h"
#include "playback/EventTimeline.h"
#include "playback/PlayerPlatform.h"

enum PlayMode : int32_t {
  PracticeMode = 0,
  TeachingMode = 1,
  PlayAllMode = 2,
  RepeatMode = 3,
};

constexpr int32_t kPracticeStepCount = 24;
constexpr int32_t kTeachingStepCount = 2;
extern const int32_t kPracticeSteps[kPracticeStepCount];
extern const int32_t kTeachingSteps[kTeachingStepCount];

// The 216-character demonstration score loaded at start-up and by the restore command.
extern const char kBuiltInScore[];

constexpr const char* kCueSoundName = "lumo.wav";
constexpr uint32_t kFullVolume = 0xFFFF;
constexpr int32_t kTimerPeriodMs = 10;
constexpr int32_t kReferenceWaitMs = 2000;
constexpr int32_t kRepeatWaitMs = 500;

// Shown when the load command refuses a text that does not fit textBuffer with its zero.
extern const char kTextTooLongMessage[];
// Shown when a score would not fit the timeline: too many events, or times beyond 32 bits.
extern const char kTooManyEventsMessage[];
extern const char kTooLongInTimeMessage[];

// Milliseconds per beat of a phrase. The score parser gives every phrase a tempo of 1 to
// 999; a phrase that somehow has none plays at the parser's default of 120.
int32_t MsPerBeat(const Phrase& phrase);

// The short-message word of a note-on on channel 1, velocity 127.
constexpr uint32_t NoteOnMessage(int32_t pitch) {
  return 0x90u | (static_cast<uint32_t>(pitch) << 8) | (127u << 16);
}

// The player: owns the loaded Score and the timeline, holds the play state, and runs
// the play modes from the commands and the 10 ms timer. Platform-free: every effect
// goes through PlayerPlatform.
class CPlayer {
 public:
  explicit CPlayer(PlayerPlatform& platform);
  CPlayer(const CPlayer&) = delete;
  CPlayer& operator=(const CPlayer&) = delete;

  // Start-up: parse the built-in score into the Score and lay out phrase 0, silently.
  void LoadBuiltInAtStartup();

  // Commands of the window's buttons.
  void OnPractice();
  void OnContinue();
  void OnPause();
  void OnTeaching();
  void OnPlayAll();
  void OnRepeat();
  void OnRestoreBuiltIn();
  // Copies scoreText into textBuffer and loads it; a text of 30000 bytes or more is refused
  // with a message.
  void OnLoad(const std::string& scoreText);

  // The timer handler; the platform calls it with id 1 every 10 ms while timer 1 runs.
  void OnTimer(int32_t id);

  void BuildPhraseTimeline(int32_t row);
  void BuildScoreTimeline();
  void PracticeStep();
  void TeachingStep();
  // Parse `text` (zero-terminated), and when it holds phrases, load it and play it all.
  void LoadAndPlay(const char* text);

  Score& score() { return *score_; }
  const Score& score() const { return *score_; }
  EventTimeline& timeline() { return timeline_; }
  const EventTimeline& timeline() const { return timeline_; }

  // Player state, as the window reads it.
  int32_t timerRunning = 0;
  int32_t autoPlay = 1;
  int32_t stepIndex = 0;
  int32_t phraseIndex = 0;
  int32_t playMode = PracticeMode;
  int32_t startTick = 0;

 private:
  void StartTimer();
  void StopTimer();
  // Sends a note-on for a pitch 1..127 (others are silent). A send that throws stops
  // playback and shows the device's message; the result is then false.
  bool SendNoteOn(int32_t pitch);
  // Lays phrases [first, last) end to end into the timeline; false, with playback stopped,
  // the timeline emptied and a message shown, when they do not fit.
  bool LayOut(int32_t first, int32_t last);
  bool LayOutPhrase(int32_t row);

  PlayerPlatform& platform_;
  std::unique_ptr<Score> score_;
  EventTimeline timeline_;
};
