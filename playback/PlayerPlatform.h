#pragma once

#include <cstdint>

// Everything the player needs from the machine. The window, the command line and the
// tests each implement it; the player itself knows no device, timer or clock.
class PlayerPlatform {
 public:
  virtual ~PlayerPlatform() = default;

  // Timer 1: from SetTimer1 on, the platform calls CPlayer::OnTimer(1) every 10 ms
  // until KillTimer1.
  virtual void SetTimer1() = 0;
  virtual void KillTimer1() = 0;
  // Monotonic wall-clock milliseconds (never CPU time).
  virtual int32_t ClockMs() = 0;
  // Blocks the calling thread for ms milliseconds.
  virtual void SleepMs(int32_t ms) = 0;
  // Plays the named cue sound ("lumo.wav") and returns when it has ended.
  virtual void PlayCueSound(const char* name) = 0;
  // Output volume, as the 32-bit value the player passes (0xFFFF = full).
  virtual void SetVolume(uint32_t volume) = 0;
  // Sends one packed short message (status in bits 0-7). May throw std::exception.
  virtual void SendShortMessage(uint32_t message) = 0;
  // Shows a message to the user (the parser's text; caption: the application's title).
  virtual void ShowMessage(const char* text) = 0;
};
