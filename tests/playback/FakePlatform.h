#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "playback/Player.h"

// A platform on a virtual clock: time moves only when the player sleeps or plays the cue,
// and when the test ticks. Every call that has an effect is recorded in order, with the
// clock reading at the time. Recording does not allocate while `calls` has room.
class FakePlatform : public PlayerPlatform {
 public:
  enum Kind { kSetTimer, kKillTimer, kSleep, kCue, kVolume, kSend, kMessage };
  struct Call {
    Kind kind;
    int64_t value;  // ms for sleeps, the word for sends, the volume; else 0
    int32_t atMs;   // clock reading when the call was made
  };

  FakePlatform() { calls.reserve(1 << 20); }

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
  void SleepMs(int32_t ms) override {
    Record(kSleep, ms);
    nowMs += ms;
  }
  void PlayCueSound(const char* name) override {
    Record(kCue, 0);
    if (std::string_view(name) != kCueSoundName) ++wrongCueNames;
    nowMs += cueLengthMs;
  }
  void SetVolume(uint32_t volume) override { Record(kVolume, volume); }
  void SendShortMessage(uint32_t message) override {
    if (failSendsFrom >= 0 && sendCount++ >= failSendsFrom) throw std::runtime_error("port gone");
    Record(kSend, message);
  }
  void ShowMessage(const char* text) override {
    Record(kMessage, 0);
    messages.push_back(text);
  }

  // Pitches of the note-ons sent since call index `from`.
  std::vector<int32_t> NotesSince(size_t from = 0) const {
    std::vector<int32_t> notes;
    for (size_t i = from; i < calls.size(); ++i)
      if (calls[i].kind == kSend)
        notes.push_back(static_cast<int32_t>((calls[i].value >> 8) & 0xFF));
    return notes;
  }
  // The calls since `from` as short words ("timer", "kill", "sleep 2000", "cue",
  // "volume", "note 60", "message"), for comparing whole sequences.
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
        case kSleep:
          out.push_back("sleep " + std::to_string(c.value));
          break;
        case kCue:
          out.push_back("cue");
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
      }
    }
    return out;
  }

  int32_t nowMs = 1000;
  int32_t cueLengthMs = 0;
  bool timerSet = false;
  int64_t clockReads = 0;
  int32_t failSendsFrom = -1;  // sends from this index on throw
  int32_t sendCount = 0;
  std::vector<Call> calls;
  int32_t wrongCueNames = 0;
  std::vector<std::string> messages;

 private:
  void Record(Kind kind, int64_t value) { calls.push_back({kind, value, nowMs}); }
};
