#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

#include "playback/PlayerPlatform.h"

class CMIDIOutDevice;

// The player's platform in the window: timer 1 is a precise 10 ms QTimer on the window's
// thread, the clock is the steady clock, notes and cues go to the MIDI device with their due
// times, and messages go to a message box. Nothing here blocks the window.
class CWindowPlatform : public QObject, public PlayerPlatform {
  Q_OBJECT

 public:
  CWindowPlatform(CMIDIOutDevice& device, std::function<void(const char*)> showMessage);

  // What each tick of timer 1 runs (the player's OnTimer(1)).
  void SetTickHandler(std::function<void()> onTick) { onTick_ = std::move(onTick); }
  const QTimer& Timer1() const { return timer1_; }

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

 private:
  // The steady-clock instant of a clock reading.
  std::chrono::steady_clock::time_point TimeOf(int32_t clockMs) const;

  CMIDIOutDevice& device_;
  std::function<void(const char*)> showMessage_;
  std::function<void()> onTick_;
  QTimer timer1_;
  const std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
};
