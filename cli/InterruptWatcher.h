#pragma once

#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

// Turns Ctrl-C (SIGINT) and SIGTERM into a call on a thread of its own, where more may be
// done than a signal handler can (wake sleepers, end a cue). The signals are blocked in the
// constructing thread, and so in every thread it starts afterwards: construct the watcher
// before the MIDI device opens, so that no sound-driver thread takes them instead.
class CInterruptWatcher {
 public:
  explicit CInterruptWatcher(std::function<void()> onInterrupt);
  ~CInterruptWatcher();  // stops watching and restores the signal mask
  CInterruptWatcher(const CInterruptWatcher&) = delete;
  CInterruptWatcher& operator=(const CInterruptWatcher&) = delete;

  bool Interrupted() const { return interrupted_; }

 private:
  void Watch();

  std::function<void()> onInterrupt_;
  sigset_t watched_;
  sigset_t previousMask_;
  std::atomic<bool> done_{false};
  std::atomic<bool> interrupted_{false};
  std::thread thread_;
};
