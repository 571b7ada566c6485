#pragma once

#include <cstdint>

// What the player is doing before or inside a pass.
enum class PlayerPhase : int32_t {
  kPass,           // the timeline plays
  kReferenceWait,  // the 2000 ms after a practice pass's reference note
  kRepeatWait,     // the 500 ms between two passes of the repeat mode
  kCue,            // the cue sound before a pass
  kListening,      // sing-back: the learner sings the phrase back while nothing sounds
};

// Where playback stands, as the window and the command line show it.
struct PlayerPosition {
  bool playing = false;  // timer 1 runs (a pass, a wait or a cue)
  int32_t mode = 0;      // PlayMode
  PlayerPhase phase = PlayerPhase::kPass;
  int32_t phrase = 0;  // 0-based phrase: the exercise's, or the one sounding in a score pass
  int32_t phraseCount = 0;
  int32_t pass = 0;  // 1-based pass of the cycle (practice, teaching, repeat); 0 before any
  // passes in one cycle: 24 practice, 2 teaching, 1 play-all, 0 endless; sing-back: the
  // try of the phrase and the most tries it gets
  int32_t passCount = 0;
  int32_t semitones = 0;  // practice: how far the pass is raised
};

// One thing the learner hears begin. Observers get it at the moment it is heard: the due
// time plus the output latency, not when the message was sent.
struct PlayerNotification {
  // kStopped: playback stopped (a pause, the end of a single pass, a failure); told at once.
  // kListeningBegins, kListeningEnds: a sing-back take; its end is told once it is judged.
  enum Kind : int32_t {
    kNote,
    kPassBegins,
    kWaitBegins,
    kCueBegins,
    kStopped,
    kListeningBegins,
    kListeningEnds
  };
  Kind kind = kNote;
  int32_t atMs = 0;   // clock time it is heard
  int32_t row = -1;   // phrase of the note (kNote); the exercise phrase otherwise
  int32_t note = -1;  // kNote: index into the phrase's pitches/startTimes (the note's two numbers)
  int32_t pitch = 0;  // kNote: the key sounded (after any transposition); <= 0 for a rest
  int32_t passTimeMs = 0;  // kNote: the event's time within its pass
  int32_t lengthMs = 0;    // kWaitBegins, kCueBegins, kListeningBegins: how long it holds
  // kListeningEnds: the 1-based try of the phrase, its notes hit and judged, and whether it
  // passed.
  int32_t attempt = 0;
  int32_t hits = 0;
  int32_t judged = 0;
  bool passed = false;
};

class PlayerObserver {
 public:
  virtual ~PlayerObserver() = default;
  virtual void OnPlayerNotification(const PlayerNotification& notification) = 0;
};

// What the player hears the learner through in sing-back mode. The app captures and judges;
// the player only says when a take starts and ends. Nothing here blocks.
struct TakeVerdict {
  bool passed = false;
  int32_t hits = 0;
  int32_t judged = 0;  // notes judged
  // False when the take could not be judged (the voice too quiet against its noise): the
  // learner sings the same try again once the level is set.
  bool heard = true;
  // True when the input stopped sending during the take (a microphone unplugged, muted by
  // the system, suspended): nothing was judged, and the exercise stops.
  bool inputLost = false;
};

class PlayerEar {
 public:
  virtual ~PlayerEar() = default;
  // A take of phrase `row` starts now and lasts lengthMs (the phrase and its grace).
  virtual void StartTake(int32_t row, int32_t lengthMs) = 0;
  // The take's time is up: judge what was heard.
  virtual TakeVerdict FinishTake() = 0;
  // The take was abandoned (paused, stopped, another mode): drop what was heard.
  virtual void CancelTake() = 0;
};
