#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/PlayClock.h"
#include "playback/Player.h"
#include "playback/PlayerPlatform.h"

class CMIDIOutDevice;

// The player's platform for real-time playback without a window: timer 1 is a loop on the
// calling thread that ticks every 10 ms by the clock, sleeps and cues block that thread, and
// notes go to the MIDI device. Stop() (from an interrupt) ends sleeps, cue and loop at once.
class CHeadlessPlatform : public PlayerPlatform {
 public:
  CHeadlessPlatform(CMIDIOutDevice& device, PlayClock& clock);

  // Called each time the player starts timer 1, which is when a pass begins.
  void SetPassListener(std::function<void()> listener) { passListener_ = std::move(listener); }

  // Ticks `player` until timer 1 stays stopped (the pass played to its end, or a send
  // failed) or Stop() is called.
  void Run(CPlayer& player);
  // Ends playback from any thread: the running sleep, cue and loop return at once.
  void Stop();
  bool Stopped() { return clock_.Interrupted(); }
  // Silences what still sounds and closes the device; Stop() does not touch it afterwards.
  void CloseDevice();

  // PlayerPlatform.
  void SetTimer1() override;
  void KillTimer1() override;
  int32_t ClockMs() override;
  void SleepMs(int32_t ms) override;
  void PlayCueSound(const char* name) override;
  void SetVolume(uint32_t volume) override;
  void SendShortMessage(uint32_t message) override;
  void ShowMessage(const char* text) override;

  // Messages the player showed, in order, for the caller to report.
  std::vector<std::string> messages;

 private:
  CMIDIOutDevice& device_;
  PlayClock& clock_;
  std::function<void()> passListener_;
  bool timerSet_ = false;
  int64_t nextTickMs_ = 0;
  std::mutex deviceLock_;  // keeps Stop()'s cue cut apart from CloseDevice()
  bool deviceClosed_ = false;
};

// Control Change 123, All Notes Off, on channel 1: ends notes a hardware synthesizer would
// otherwise hold after an interrupt (the player itself sends no note-off).
constexpr uint32_t kAllNotesOffMessage = 0xB0u | (123u << 8);
