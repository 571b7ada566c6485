#pragma once

#include <atomic>
#include <cstdint>

#include "midi/SpscRing.h"

namespace midi {

// One note-on as the synthesizer started it: the frame it was meant for and the frame its
// sound begins at, in frames of the synthesizer's output stream.
struct NoteStart {
  uint32_t message = 0;
  int64_t dueNs = 0;        // its due time on the steady clock; 0 when it was given a frame
  int64_t wantedFrame = 0;  // the frame its due time maps to (or the frame it was given)
  int64_t startFrame = 0;   // the frame the synthesizer starts its voices at
};

// Timing measurements: the synthesizer's audio thread records every note-on it starts, a
// reader (a benchmark) takes the records on a thread of its own. Records that find the log
// full are counted and dropped.
class CNoteStartLog {
 public:
  // Audio thread.
  void Record(const NoteStart& start) {
    if (!ring_.Push(start)) dropped_.fetch_add(1, std::memory_order_relaxed);
  }
  // Reader: the oldest record not yet taken; false when there is none.
  bool Take(NoteStart& start) { return ring_.Pop(start); }
  uint64_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }

 private:
  CSpscRing<NoteStart, 8192> ring_;
  std::atomic<uint64_t> dropped_{0};
};

}  // namespace midi
