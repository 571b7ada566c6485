#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "playback/Player.h"

// A platform on a virtual clock: time moves only when the test ticks or moves it. Every call
// that has an effect is recorded in order, with the clock reading at the time, and so is
// every wait and pass the player reports as it begins (the platform also observes the
// player). Recording does not allocate while `calls` has room.
class FakePlatform : public PlayerPlatform, public PlayerObserver {
 public:
  enum Kind {
    kSetTimer,
    kKillTimer,
    kCue,
    kStopCue,
    kVolume,
    kSend,
    kMessage,
    kWait,
    kPass,
    kListen,
    kJudged
  };
  struct Call {
    Kind kind;
    int64_t value;  // the word for sends, the volume, a wait's length; else 0
    int32_t atMs;   // clock reading when the call was made
    int32_t dueMs;  // sends and cues: the time they are due
  };

  FakePlatform() {
    calls.reserve(1 << 20);
    heard.reserve(1 << 16);
  }

  void SetTimer1() override {
    Record(kSetTimer, 0);
    timerSet = true;
  }
  void KillTimer1() override {
    Record(kKillTimer, 0);
    timerSet = false;
  }
  int32_t ClockMs() override {
    ++clockReads;
    return nowMs;
  }
  int32_t StartCueSound(const char* name, int32_t dueMs) override {
    Record(kCue, 0, dueMs);
    if (std::string_view(name) != kCueSoundName) ++wrongCueNames;
    return cueLengthMs;
  }
  void StopCueSound() override { Record(kStopCue, 0); }
  void SetVolume(uint32_t volume) override { Record(kVolume, volume); }
  void SendShortMessage(uint32_t message, int32_t dueMs) override {
    if (failSendsFrom >= 0 && sendCount++ >= failSendsFrom) throw std::runtime_error("port gone");
    Record(kSend, message, dueMs);
  }
  int32_t OutputLatencyMs() override { return latencyMs; }
  void ShowMessage(const char* text) override {
    Record(kMessage, 0);
    messages.push_back(text);
    if (onMessage) onMessage(text);
  }

  // PlayerObserver: waits and passes go into the log, every notification into `heard`.
  void OnPlayerNotification(const PlayerNotification& n) override {
    if (heard.size() < heard.capacity()) heard.push_back({n, nowMs});
    if (n.kind == PlayerNotification::kWaitBegins) Record(kWait, n.lengthMs);
    if (n.kind == PlayerNotification::kPassBegins) Record(kPass, 0);
    if (n.kind == PlayerNotification::kListeningBegins) Record(kListen, n.lengthMs);
    if (n.kind == PlayerNotification::kListeningEnds) Record(kJudged, n.passed ? 1 : 0);
  }

  // Pitches of the note-ons sent since call index `from`.
  std::vector<int32_t> NotesSince(size_t from = 0) const {
    std::vector<int32_t> notes;
    for (size_t i = from; i < calls.size(); ++i)
      if (calls[i].kind == kSend)
        notes.push_back(static_cast<int32_t>((calls[i].value >> 8) & 0xFF));
    return notes;
  }
  // The words sent since call index `from`.
  std::vector<uint32_t> SentSince(size_t from = 0) const {
    std::vector<uint32_t> words;
    for (size_t i = from; i < calls.size(); ++i)
      if (calls[i].kind == kSend) words.push_back(static_cast<uint32_t>(calls[i].value));
    return words;
  }
  // The calls since `from` as short words ("timer", "kill", "wait 2000", "cue", "stop cue",
  // "volume", "note 60", "message", "pass", "listen 2300", "judged pass", "judged miss"), for
  // comparing whole sequences.
  std::vector<std::string> Script(size_t from = 0) const {
    std::vector<std::string> out;
    for (size_t i = from; i < calls.size(); ++i) {
      const Call& c = calls[i];
      switch (c.kind) {
        case kSetTimer:
          out.push_back("timer");
          break;
        case kKillTimer:
          out.push_back("kill");
          break;
        case kCue:
          out.push_back("cue");
          break;
        case kStopCue:
          out.push_back("stop cue");
          break;
        case kVolume:
          out.push_back("volume");
          break;
        case kSend:
          out.push_back("note " + std::to_string((c.value >> 8) & 0xFF));
          break;
        case kMessage:
          out.push_back("message");
          break;
        case kWait:
          out.push_back("wait " + std::to_string(c.value));
          break;
        case kPass:
          out.push_back("pass");
          break;
        case kListen:
          out.push_back("listen " + std::to_string(c.value));
          break;
        case kJudged:
          out.push_back(c.value != 0 ? "judged pass" : "judged miss");
          break;
      }
    }
    return out;
  }

  struct Heard {
    PlayerNotification notification;
    int32_t atMs;  // clock reading when it reached the observer
  };

  int32_t nowMs = 1000;
  int32_t cueLengthMs = 0;
  int32_t latencyMs = 0;
  bool timerSet = false;
  int64_t clockReads = 0;
  int32_t failSendsFrom = -1;  // sends from this index on throw
  int32_t sendCount = 0;
  std::vector<Call> calls;
  std::vector<Heard> heard;
  int32_t wrongCueNames = 0;
  std::vector<std::string> messages;
  std::function<void(const char*)> onMessage;  // also told of every message

 private:
  void Record(Kind kind, int64_t value, int32_t dueMs = 0) {
    calls.push_back({kind, value, nowMs, dueMs});
  }
};
