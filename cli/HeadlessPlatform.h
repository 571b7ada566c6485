#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "cli/PlayClock.h"
#include "playback/Player.h"
#include "playback/PlayerPlatform.h"

class CMIDIOutDevice;

// The player's platform for real-time playback without a window: timer 1 is a loop on the
// calling thread that ticks every 10 ms by the clock, and notes and cues go to the MIDI device
// with their due times. Stop() (from an interrupt) ends the loop and the cue at once.
class CHeadlessPlatform : public PlayerPlatform {
 public:
  CHeadlessPlatform(CMIDIOutDevice& device, PlayClock& clock);

  // Ticks `player` until timer 1 stays stopped (the pass played to its end, or a send
  // failed) or Stop() is called; `afterTick`, when given, runs after each tick.
  void Run(CPlayer& player, const std::function<void()>& afterTick = {});
  // Ends playback from any thread: the running sleep, cue and loop return at once.
  void Stop();
  bool Stopped() const { return clock_.Interrupted(); }
  // Silences what still sounds and closes the device; Stop() does not touch it afterwards.
  void CloseDevice();

  // PlayerPlatform.
  void SetTimer1() override;
  void KillTimer1() override;
  int32_t ClockMs() override;
  int32_t StartCueSound(const char* name, int32_t dueMs) override;
  void StopCueSound() override;
  void SetVolume(uint32_t volume) override;
  void SendShortMessage(uint32_t message, int32_t dueMs) override;
  int32_t OutputLatencyMs() override;
  void ShowMessage(const char* text) override;

  // Messages the player showed, in order, for the caller to report.
  std::vector<std::string> messages;

 private:
  // The steady-clock instant of a clock reading.
  std::chrono::steady_clock::time_point TimeOf(int32_t clockMs);

  CMIDIOutDevice& device_;
  PlayClock& clock_;
  bool timerSet_ = false;
  int64_t nextTickMs_ = 0;
  std::mutex deviceLock_;  // keeps Stop()'s cue cut apart from CloseDevice()
  bool deviceClosed_ = false;
};

// Control Change 123, All Notes Off, on channel 1: ends notes a hardware synthesizer would
// otherwise hold after an interrupt (the player itself sends no note-off).
constexpr uint32_t kAllNotesOffMessage = 0xB0u | (123u << 8);
