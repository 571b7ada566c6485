#include "cli/PlayClock.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

int64_t CSteadyPlayClock::NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
      .count();
}

bool CSteadyPlayClock::SleepUntil(int64_t deadlineMs) {
  const Clock::time_point deadline{std::chrono::milliseconds(deadlineMs)};
  std::unique_lock<std::mutex> hold(lock_);
  wake_.wait_until(hold, deadline, [this] { return interrupted_; });
  return !interrupted_;
}

void CSteadyPlayClock::Interrupt() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    interrupted_ = true;
  }
  wake_.notify_all();
}

bool CSteadyPlayClock::Interrupted() {
  std::lock_guard<std::mutex> hold(lock_);
  return interrupted_;
}
