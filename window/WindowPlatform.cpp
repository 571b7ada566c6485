#include "window/WindowPlatform.h"

#include "midi/MidiOutDevice.h"
#include "playback/Player.h"

CWindowPlatform::CWindowPlatform(CMIDIOutDevice& device,
                                 std::function<void(const char*)> showMessage)
    : device_(device), showMessage_(std::move(showMessage)) {
  timer1_.setTimerType(Qt::PreciseTimer);
  timer1_.setInterval(kTimerPeriodMs);
  connect(&timer1_, &QTimer::timeout, this, [this] {
    if (onTick_) onTick_();
  });
}

void CWindowPlatform::SetTimer1() { timer1_.start(); }

void CWindowPlatform::KillTimer1() { timer1_.stop(); }

int32_t CWindowPlatform::ClockMs() {
  // Milliseconds since the window started; 32 bits last 24 days, and the player compares
  // readings by difference, so even a wrap does no harm.
  const auto elapsed = std::chrono::steady_clock::now() - origin_;
  return static_cast<int32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

std::chrono::steady_clock::time_point CWindowPlatform::TimeOf(int32_t clockMs) const {
  const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - origin_)
                          .count();
  return origin_ + std::chrono::milliseconds(NearestClockReading(now, clockMs));
}

int32_t CWindowPlatform::StartCueSound(const char* name, int32_t dueMs) {
  return device_.StartCueSound(name, TimeOf(dueMs));
}

void CWindowPlatform::StopCueSound() { device_.StopCueSound(); }

void CWindowPlatform::SetVolume(uint32_t volume) { device_.SetVolume(volume); }

void CWindowPlatform::SendShortMessage(uint32_t message, int32_t dueMs) {
  device_.SendShortMessageAt(message, TimeOf(dueMs));
}

int32_t CWindowPlatform::OutputLatencyMs() { return device_.OutputLatencyMs(); }

void CWindowPlatform::ShowMessage(const char* text) {
  if (showMessage_) showMessage_(text);
}
