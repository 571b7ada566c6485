#include "cli/InterruptWatcher.h"

#include <pthread.h>

#include <cerrno>
#include <ctime>

CInterruptWatcher::CInterruptWatcher(std::function<void()> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
  sigemptyset(&watched_);
  sigaddset(&watched_, SIGINT);
  sigaddset(&watched_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &watched_, &previousMask_);
  thread_ = std::thread(&CInterruptWatcher::Watch, this);
}

CInterruptWatcher::~CInterruptWatcher() {
  done_ = true;
  thread_.join();
  pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

void CInterruptWatcher::Watch() {
  // Waits in short slices so that the destructor never waits long for the thread.
  const timespec slice{0, 20 * 1000 * 1000};
  while (!done_) {
    const int signal = sigtimedwait(&watched_, nullptr, &slice);
    if (signal < 0) continue;  // timeout or EINTR
    // Later signals while the first is being handled change nothing.
    if (!interrupted_.exchange(true) && onInterrupt_) onInterrupt_();
  }
}
