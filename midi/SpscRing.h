#pragma once

#include <array>
#include <atomic>
#include <cstddef>

namespace midi {

// A fixed-size ring that hands values from one producer thread to one consumer thread
// without locks or allocation. Capacity must be a power of two.
template <typename T, size_t kCapacity>
class CSpscRing {
  static_assert(kCapacity > 0 && (kCapacity & (kCapacity - 1)) == 0,
                "the capacity is a power of two");

 public:
  // Producer: false when the ring is full.
  bool Push(const T& value) {
    const size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) == kCapacity) return false;
    slots_[tail & (kCapacity - 1)] = value;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
  }

  // Consumer: the oldest value, or nullptr when the ring is empty. It stays valid until Pop.
  const T* Front() const {
    const size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return nullptr;
    return &slots_[head & (kCapacity - 1)];
  }
  // Consumer: drops the value Front returned.
  void Pop() { head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }
  // Consumer: takes the oldest value; false when the ring is empty.
  bool Pop(T& value) {
    const T* front = Front();
    if (front == nullptr) return false;
    value = *front;
    Pop();
    return true;
  }

 private:
  std::array<T, kCapacity> slots_{};
  alignas(64) std::atomic<size_t> head_{0};
  alignas(64) std::atomic<size_t> tail_{0};
};

}  // namespace midi
