#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// Time for real-time playback without a window: a monotonic millisecond clock and sleeps
// that an interrupt (Ctrl-C) cuts short. Tests put a virtual clock in its place.
class PlayClock {
 public:
  virtual ~PlayClock() = default;
  virtual int64_t NowMs() = 0;
  // Sleeps until NowMs() reaches deadlineMs; false, at once, once Interrupt() was called.
  virtual bool SleepUntil(int64_t deadlineMs) = 0;
  // Ends the current sleep and every later one. Safe from any thread.
  virtual void Interrupt() = 0;
  virtual bool Interrupted() = 0;
};

// The steady (monotonic) clock of the machine.
class CSteadyPlayClock : public PlayClock {
 public:
  int64_t NowMs() override;
  bool SleepUntil(int64_t deadlineMs) override;
  void Interrupt() override;
  bool Interrupted() override;

 private:
  std::mutex lock_;
  std::condition_variable wake_;
  bool interrupted_ = false;
};
