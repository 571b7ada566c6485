#pragma once

#include <array>
#include <cstdint>

#include "playback/PlayerNotification.h"

// Notifications waiting for the moment they are heard, in the order they were made (which
// is the order of their times). A fixed ring: nothing is allocated while playing. When it
// is full the oldest is handed out early rather than lost.
class CNotificationQueue {
 public:
  static constexpr int32_t kCapacity = 4096;

  bool Empty() const { return count_ == 0; }
  bool Full() const { return count_ == kCapacity; }
  const PlayerNotification& Front() const { return items_[head_]; }
  void Push(const PlayerNotification& item) {
    items_[(head_ + count_) % kCapacity] = item;
    ++count_;
  }
  PlayerNotification Pop() {
    const PlayerNotification item = items_[head_];
    head_ = (head_ + 1) % kCapacity;
    --count_;
    return item;
  }
  void Clear() { head_ = count_ = 0; }

 private:
  std::array<PlayerNotification, kCapacity> items_{};
  int32_t head_ = 0;
  int32_t count_ = 0;
};
