#pragma once

#include <deque>
#include <memory>
#include <mutex>

#include "midi/MidiPort.h"

namespace midi {

// One long message's header, still owned by the port it was prepared on.
struct PendingHeader {
  MidiPort* handle = nullptr;
  MidiHeader header;
};

// Headers handed to a port and not yet released, oldest first, under the queue's own lock.
// The queue owns its records; destroying it releases what is left.
class PendingHeaderQueue {
 public:
  PendingHeaderQueue() = default;
  ~PendingHeaderQueue();
  PendingHeaderQueue(const PendingHeaderQueue&) = delete;
  PendingHeaderQueue& operator=(const PendingHeaderQueue&) = delete;

  void Push(std::unique_ptr<PendingHeader> record);
  // Unprepares and frees the oldest record; false when the queue was empty.
  bool ReleaseFront();
  // Releases every record, oldest first.
  void ReleaseAll();
  size_t Size() const;

 private:
  // The body of ReleaseFront, with the lock held.
  bool ReleaseFrontLocked();

  mutable std::mutex lock_;
  std::deque<std::unique_ptr<PendingHeader>> records_;
};

}  // namespace midi
