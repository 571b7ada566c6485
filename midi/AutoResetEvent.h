#pragma once

#include <condition_variable>
#include <mutex>

namespace midi {

// An event that releases one waiter per Set and then resets itself; created non-signalled.
class CAutoResetEvent {
 public:
  void Set() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      signalled_ = true;
    }
    wake_.notify_one();
  }
  void Wait() {
    std::unique_lock<std::mutex> hold(lock_);
    wake_.wait(hold, [this] { return signalled_; });
    signalled_ = false;
  }

 private:
  std::mutex lock_;
  std::condition_variable wake_;
  bool signalled_ = false;
};

}  // namespace midi
