#pragma once

#include <cstdint>

// The platform's clock in the player's 32-bit milliseconds, and back: of all the 64-bit
// readings with these low 32 bits, the one nearest `nowMs` (the player compares readings by
// difference, so a wrap does no harm).
inline int64_t NearestClockReading(int64_t nowMs, int32_t clockMs) {
  const int32_t back =
      static_cast<int32_t>(static_cast<uint32_t>(nowMs) - static_cast<uint32_t>(clockMs));
  return nowMs - back;
}

// Everything the player needs from the machine. The window, the command line and the
// tests each implement it; the player itself knows no device, timer or clock. Nothing here
// blocks: the player waits out its pauses and cue sounds on the timer.
class PlayerPlatform {
 public:
  virtual ~PlayerPlatform() = default;

  // Timer 1: from SetTimer1 on, the platform calls CPlayer::OnTimer(1) every 10 ms
  // until KillTimer1.
  virtual void SetTimer1() = 0;
  virtual void KillTimer1() = 0;
  // Monotonic wall-clock milliseconds (never CPU time).
  virtual int32_t ClockMs() = 0;
  // Starts the named cue sound ("lumo.wav") so that it is heard at dueMs on the clock (plus
  // the output latency) and returns at once with its length in milliseconds: the player
  // holds the next pass back that long, whether the device can sound the cue or not.
  virtual int32_t StartCueSound(const char* name, int32_t dueMs) = 0;
  // Silences a cue that is still sounding (playback paused or stopped during it).
  virtual void StopCueSound() = 0;
  // Output volume, as the 32-bit value the player passes (0xFFFF = full).
  virtual void SetVolume(uint32_t volume) = 0;
  // Sends one packed short message (status in bits 0-7) that is due at dueMs on the clock:
  // it sounds at dueMs plus OutputLatencyMs(), however late this call comes. May throw
  // std::exception.
  virtual void SendShortMessage(uint32_t message, int32_t dueMs) = 0;
  // The constant time from a message's due time to when it is heard.
  virtual int32_t OutputLatencyMs() { return 0; }
  // Shows a message to the user (the parser's text; caption: the application's title).
  virtual void ShowMessage(const char* text) = 0;
};
