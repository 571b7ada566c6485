#include "cli/HeadlessPlatform.h"

#include <exception>

#include "midi/MidiOutDevice.h"

CHeadlessPlatform::CHeadlessPlatform(CMIDIOutDevice& device, PlayClock& clock)
    : device_(device), clock_(clock) {}

void CHeadlessPlatform::Run(CPlayer& player, const std::function<void()>& afterTick) {
  while (timerSet_ && !clock_.Interrupted()) {
    if (!clock_.SleepUntil(nextTickMs_)) break;
    nextTickMs_ += kTimerPeriodMs;
    player.OnTimer(1);
    if (afterTick) afterTick();
    // Ticks missed while the machine was busy are not caught up with a burst: the player
    // reads the clock, so the next tick on the 10 ms grid is enough. Keeping to the grid
    // keeps every later note as punctual as before.
    const int64_t now = clock_.NowMs();
    if (nextTickMs_ < now)
      nextTickMs_ += ((now - nextTickMs_) / kTimerPeriodMs + 1) * kTimerPeriodMs;
  }
}

void CHeadlessPlatform::Stop() {
  clock_.Interrupt();
  std::lock_guard<std::mutex> hold(deviceLock_);
  if (!deviceClosed_) device_.StopCueSound();
}

void CHeadlessPlatform::CloseDevice() {
  std::lock_guard<std::mutex> hold(deviceLock_);
  if (deviceClosed_) return;
  deviceClosed_ = true;
  try {
    device_.SendShortMessage(kAllNotesOffMessage);
  } catch (const std::exception&) {
    // The device is closed next in any case.
  }
  device_.Close();
}

void CHeadlessPlatform::SetTimer1() {
  timerSet_ = true;
  nextTickMs_ = clock_.NowMs() + kTimerPeriodMs;
}

void CHeadlessPlatform::KillTimer1() { timerSet_ = false; }

int32_t CHeadlessPlatform::ClockMs() {
  // The player works with 32-bit milliseconds and unsigned differences, so the wrap is fine.
  return static_cast<int32_t>(static_cast<uint32_t>(clock_.NowMs()));
}

std::chrono::steady_clock::time_point CHeadlessPlatform::TimeOf(int32_t clockMs) {
  return std::chrono::steady_clock::time_point(
      std::chrono::milliseconds(NearestClockReading(clock_.NowMs(), clockMs)));
}

int32_t CHeadlessPlatform::StartCueSound(const char* name, int32_t dueMs) {
  std::lock_guard<std::mutex> hold(deviceLock_);
  if (deviceClosed_ || clock_.Interrupted()) return 0;
  return device_.StartCueSound(name, TimeOf(dueMs));
}

void CHeadlessPlatform::StopCueSound() {
  std::lock_guard<std::mutex> hold(deviceLock_);
  if (!deviceClosed_) device_.StopCueSound();
}

void CHeadlessPlatform::SetVolume(uint32_t volume) { device_.SetVolume(volume); }

void CHeadlessPlatform::SendShortMessage(uint32_t message, int32_t dueMs) {
  if (!clock_.Interrupted()) device_.SendShortMessageAt(message, TimeOf(dueMs));
}

int32_t CHeadlessPlatform::OutputLatencyMs() { return device_.OutputLatencyMs(); }

void CHeadlessPlatform::ShowMessage(const char* text) { messages.emplace_back(text); }
