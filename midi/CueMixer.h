#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace midi {

// Adds a cue sound into an audio stream block by block. The owner starts a cue and waits for
// its end; the audio thread mixes it in. Without an audio thread nothing advances, which is
// what an offline render wants: there the renderer itself drives MixInto.
class CCueMixer {
 public:
  // Starts stereoSamples (interleaved left/right) from their first frame, in place of any cue
  // still playing.
  void Start(std::vector<float> stereoSamples);
  // Adds the cue's next frames to left and right; called from the audio thread.
  void MixInto(float* left, float* right, int frames);
  // Drops the cue that plays and wakes every waiter.
  void Stop();
  bool Playing() const;
  // Blocks until the cue has been mixed to its end, at most for timeout; true if it ended.
  bool WaitUntilEnded(std::chrono::milliseconds timeout);

 private:
  mutable std::mutex lock_;
  std::condition_variable ended_;
  std::vector<float> samples_;
  size_t nextFrame_ = 0;
  bool playing_ = false;
};

}  // namespace midi
