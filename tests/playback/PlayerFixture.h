#pragma once

#include <gtest/gtest.h>

#include <string>

#include "notation/Score.h"
#include "playback/Player.h"
#include "tests/playback/FakePlatform.h"

// A player on a fake platform.
class PlayerFixture : public ::testing::Test {
 protected:
  PlayerFixture() { player.AddObserver(&platform); }

  // Loads `text` as the score without sound, as the export does, and clears the log.
  void LoadQuietly(const char* text) {
    {
      CPlayer::CBuildOnlyScope quietly(player);
      player.LoadAndPlay(text);
    }
    ASSERT_TRUE(platform.messages.empty()) << platform.messages.front();
    platform.calls.clear();
    platform.heard.clear();
  }

  // One timer period: the clock moves 10 ms, then timer 1 fires if it is set.
  void Tick() {
    platform.nowMs += kTimerPeriodMs;
    if (platform.timerSet) player.OnTimer(1);
  }
  // Ticks while the timer runs, at most `limit` times; returns how many.
  int TickWhileRunning(int limit) {
    int n = 0;
    while (platform.timerSet && n < limit) {
      Tick();
      ++n;
    }
    return n;
  }
  // Ticks until a call of `kind` is recorded (or `limit` ticks); returns its index.
  size_t TickUntil(FakePlatform::Kind kind, int limit = 100000) {
    size_t seen = platform.calls.size();
    for (int n = 0; n < limit; ++n) {
      Tick();
      for (; seen < platform.calls.size(); ++seen)
        if (platform.calls[seen].kind == kind) return seen;
    }
    ADD_FAILURE() << "no call of kind " << kind << " within " << limit << " ticks";
    return platform.calls.size();
  }

  std::vector<NoteEvent> Events() const {
    const EventTimeline& t = player.Timeline();
    return std::vector<NoteEvent>(t.events.get(), t.events.get() + t.count);
  }

  FakePlatform platform;
  CPlayer player{platform};
};

inline bool operator==(const NoteEvent& a, const NoteEvent& b) {
  return a.pitch == b.pitch && a.timeMs == b.timeMs;
}
inline std::ostream& operator<<(std::ostream& out, const NoteEvent& e) {
  return out << "(" << e.pitch << ", " << e.timeMs << ")";
}
