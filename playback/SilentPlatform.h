#pragma once

#include <string>
#include <vector>

#include "playback/PlayerPlatform.h"

// A player platform without time or sound, for the commands that only load a score:
// the timer never ticks, nothing sounds, and messages are kept for the caller to report.
class CSilentPlatform : public PlayerPlatform {
 public:
  void SetTimer1() override {}
  void KillTimer1() override {}
  int32_t ClockMs() override { return 0; }
  int32_t StartCueSound(const char*, int32_t) override { return 0; }
  void StopCueSound() override {}
  void SetVolume(uint32_t) override {}
  void SendShortMessage(uint32_t, int32_t) override {}
  void ShowMessage(const char* text) override { messages.emplace_back(text); }

  std::vector<std::string> messages;
};
