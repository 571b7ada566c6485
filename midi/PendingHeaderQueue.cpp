#include "midi/PendingHeaderQueue.h"

namespace midi {

PendingHeaderQueue::~PendingHeaderQueue() { ReleaseAll(); }

void PendingHeaderQueue::Push(std::unique_ptr<PendingHeader> record) {
  std::lock_guard<std::mutex> hold(lock_);
  records_.push_back(std::move(record));
}

bool PendingHeaderQueue::ReleaseFrontLocked() {
  if (records_.empty()) return false;
  std::unique_ptr<PendingHeader> record = std::move(records_.front());
  records_.pop_front();
  if (record && record->handle != nullptr) record->handle->UnprepareHeader(&record->header);
  return true;
}

bool PendingHeaderQueue::ReleaseFront() {
  std::lock_guard<std::mutex> hold(lock_);
  return ReleaseFrontLocked();
}

void PendingHeaderQueue::ReleaseAll() {
  std::lock_guard<std::mutex> hold(lock_);
  while (ReleaseFrontLocked()) {
  }
}

size_t PendingHeaderQueue::Size() const {
  std::lock_guard<std::mutex> hold(lock_);
  return records_.size();
}

}  // namespace midi
