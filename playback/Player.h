#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "notation/Score.h"
#include "notation/VoiceRange.h"
#include "playback/EventTimeline.h"
#include "playback/PlayerNotification.h"
#include "playback/PlayerNotifier.h"
#include "playback/PlayerPlatform.h"
#include "playback/RangeFit.h"
#include "playback/ScoreLoader.h"
#include "playback/SingBackExercise.h"
#include "playback/TimelineLayout.h"

enum PlayMode : int32_t {
  PracticeMode = 0,
  TeachingMode = 1,
  PlayAllMode = 2,
  RepeatMode = 3,
  // Each phrase plays, the cue sounds, then the learner sings it back while the player
  // listens through its PlayerEar; up to kSingBackTries tries, then the next phrase.
  SingBackMode = 4,
};

constexpr int32_t kPracticeStepCount = 24;
constexpr int32_t kTeachingStepCount = 2;
// A step-table entry that sounds the cue before its pass. The other entries are semitones:
// practice raises the pass by that many and sounds its reference note (0: no raise).
constexpr int32_t kStepCue = 10;
extern const int32_t kPracticeSteps[kPracticeStepCount];
extern const int32_t kTeachingSteps[kTeachingStepCount];

constexpr const char* kCueSoundName = "lumo.wav";
constexpr uint32_t kFullVolume = 0xFFFF;
constexpr int32_t kTimerPeriodMs = 10;
constexpr int32_t kReferenceWaitMs = 2000;
constexpr int32_t kRepeatWaitMs = 500;

// The short-message word of a note-on on channel 1, velocity 127.
constexpr uint32_t NoteOnMessage(int32_t pitch) {
  return 0x90u | (static_cast<uint32_t>(pitch) << 8) | (127u << 16);
}

// The player: owns the loaded Score and the timeline, holds the play state, and runs
// the play modes from the commands and the 10 ms timer. Platform-free: every effect
// goes through PlayerPlatform. The reference wait, the repeat wait and the cue are timed
// phases waited out on the timer, so no command or tick ever blocks.
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
  // Sing-back from the first phrase to the last, or of phrase `onlyRow` alone; refused with
  // kNoEarMessage while no ear is set.
  void OnSingBack(int32_t onlyRow = -1);
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

  // While one lives, a whole-score build lays the timeline out without starting playback
  // (the MIDI file export); autoPlay comes back on however the build ends.
  class CBuildOnlyScope {
   public:
    explicit CBuildOnlyScope(CPlayer& player) : player_(player) { player_.autoPlay = 0; }
    ~CBuildOnlyScope() { player_.autoPlay = 1; }
    CBuildOnlyScope(const CBuildOnlyScope&) = delete;
    CBuildOnlyScope& operator=(const CBuildOnlyScope&) = delete;

   private:
    CPlayer& player_;
  };

  // Where the side texts of every parse the player makes (into its Score and into the scratch
  // Score it tries texts on) are handed; null: nowhere.
  void SetSideTextSink(SideTextSink* sink) { loader_.SetSideTextSink(sink); }
  SideTextSink* SideTextSinkInUse() const { return loader_.SideTextSinkInUse(); }

  // Observers hear of every note, pass, wait and cue as it is heard. Add them before playing.
  void AddObserver(PlayerObserver* observer) { notifier_.AddObserver(observer); }
  void RemoveObserver(PlayerObserver* observer) { notifier_.RemoveObserver(observer); }
  // The ear sing-back listens through; nullptr for none. It must outlive its use.
  void SetEar(PlayerEar* ear) { singBack_.SetEar(ear); }
  // The singer's range, or none. With one, practice places its levels inside it, and teaching,
  // the whole-score modes and sing-back play each phrase at the transposition that fits it
  // best; a build without playback (the MIDI file export) keeps the written pitch. It applies
  // from the next phrase laid out, and at once to a stopped teaching or sing-back phrase, which
  // then starts again from its beginning (a try is judged where it is heard). None: every
  // phrase as written, practice's twelve levels.
  void SetRange(const std::optional<VoiceRange>& range);
  const std::optional<VoiceRange>& Range() const { return fit_.Range(); }
  // The transposition of phrase `row` outside practice (0 without a range), which sing-back
  // judges against.
  int32_t PhraseShift(int32_t row) const { return fit_.Shift(row); }

  // The share of the written tempo the phrases play (and are judged) at, from the next load on:
  // kSlowestTempoPercent to kFastestTempoPercent.
  void SetTempoPercent(int32_t percent) { loader_.SetTempoPercent(percent); }
  int32_t TempoPercent() const { return loader_.TempoPercent(); }

  // The buffer score texts are copied into to be loaded (kTextBufferSize bytes).
  char* TextBuffer() { return loader_.TextBuffer(); }

  // Queries. The loaded Score: a load puts another in its place, so ask again after one.
  const Score& LoadedScore() const { return loader_.Loaded(); }
  const EventTimeline& Timeline() const { return timeline_; }
  // For tests that alter a pass or the loaded score in place.
  EventTimeline& TimelineForTest() { return timeline_; }
  Score& ScoreForTest() { return loader_.Loaded(); }
  PlayerPosition Position() const;
  bool Playing() const { return timerRunning == 1; }
  int32_t TimerRunning() const { return timerRunning; }
  int32_t AutoPlay() const { return autoPlay; }
  int32_t StepIndex() const { return stepIndex; }
  int32_t PhraseIndex() const { return phraseIndex; }
  PlayMode Mode() const { return static_cast<PlayMode>(playMode); }
  int32_t StartTick() const { return startTick; }
  PlayerPhase Phase() const { return phase_; }
  // Where the last text LoadAndPlay refused was at fault, as offsets into that text; -1 where
  // the parser could not say (and after a text that loaded).
  using ParseFault = ScoreParseFault;
  const ParseFault& LastParseFault() const { return loader_.LastParseFault(); }
  // How many texts LoadAndPlay has loaded: it grows by one with each text that replaced the
  // Score, so a caller can tell a load that took from one that was refused.
  int32_t LoadCount() const { return loader_.LoadCount(); }
  // Sing-back: one result per phrase of the last run, in order (tries 0: not reached).
  const std::vector<SingBackResult>& SingBackResults() const { return singBack_.Results(); }
  // Sing-back: how long a take of the phrase laid out lasts: the phrase and its grace.
  int32_t TakeLengthMs() const;
  // Sing-back: the exercise's last phrase has been judged; Continue resumes nothing.
  bool SingBackOver() const { return playMode == SingBackMode && singBack_.Over(); }
  // The phrase and note index the timeline's event k came from.
  int32_t EventRow(int32_t k) const { return layout_.EventRow(k); }
  int32_t EventNote(int32_t k) const { return layout_.EventNote(k); }

 private:
  void StartTimer();
  void StopTimer();
  // Timer 1 runs through a wait or cue of lengthMs from fromMs; the pass starts at its end.
  void StartWait(PlayerPhase phase, int32_t fromMs, int32_t lengthMs);
  // Ends the wait whose time is up: the pass starts at the wait's exact end.
  void FinishWait();
  // Sends a note-on for a pitch 1..127 (others are silent), due at dueMs. A send that throws
  // stops playback and shows the device's message; the result is then false.
  bool SendNoteOn(int32_t pitch, int32_t dueMs);
  // Lays phrases [first, last) end to end into the timeline, each moved by its fitted shift
  // when `fitted`; false, with playback stopped, the timeline emptied and a message shown,
  // when they do not fit.
  bool LayOut(int32_t first, int32_t last, bool fitted);
  bool LayOutPhrase(int32_t row);
  void Notify(PlayerNotification::Kind kind, int32_t dueMs, int32_t row = -1, int32_t note = -1,
              int32_t pitch = 0, int32_t passTimeMs = 0, int32_t lengthMs = 0);
  // One tick of timer 1 at clock reading `now` (read only while it runs).
  void Tick(bool running, int32_t now);
  // BuildScoreTimeline without the start: the whole score laid out, stopped, in PlayAllMode.
  bool LayOutScore();
  void TellStopped();
  // Sing-back: a wait of the mode (cue, listening) is up at its exact end.
  void SingBackWaitOver();

  // Player state (the window reads it through the queries).
  int32_t timerRunning = 0;
  int32_t autoPlay = 1;
  int32_t stepIndex = 0;
  int32_t phraseIndex = 0;
  int32_t playMode = PracticeMode;
  int32_t startTick = 0;

  PlayerPhase phase_ = PlayerPhase::kPass;
  int32_t waitEndMs_ = 0;        // clock time the wait ends, while it runs
  int32_t waitRemainingMs_ = 0;  // what is left of it, while paused
  int32_t repeatPasses_ = 0;     // passes of the repeat mode so far
  CSingBackExercise singBack_;
  CRangeFit fit_;
  PracticeLadder ladder_;  // of the phrase practice drills, from its first step on

  PlayerPlatform& platform_;
  CScoreLoader loader_;
  EventTimeline timeline_;
  CTimelineLayout layout_;
  CPlayerNotifier notifier_;
};
