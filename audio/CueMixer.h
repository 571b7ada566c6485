#pragma once

#include <cstdint>
#include <limits>
#include <mutex>
#include <vector>

namespace audio {

// Adds a cue sound into an audio stream block by block, from a given frame of that stream.
// The owner starts and stops the cue on its own thread; the audio thread mixes it in. Without
// an audio thread nothing advances, which is what an offline render wants: there the renderer
// itself drives MixInto.
class CCueMixer {
 public:
  // A start frame that means "the next frame mixed".
  static constexpr int64_t kNextFrame = std::numeric_limits<int64_t>::min();

  // Starts stereoSamples (interleaved left/right) at startFrame of the stream, in place of
  // any cue still playing. A frame already mixed means the next one.
  void Start(std::vector<float> stereoSamples, int64_t startFrame = kNextFrame);
  // Adds the cue's part of frames firstFrame .. firstFrame + frames - 1 to left and right;
  // called from the audio thread.
  void MixInto(float* left, float* right, int frames, int64_t firstFrame);
  // Drops the cue, whether it has begun or not.
  void Stop();
  // Whether a cue is waiting for its frame or sounding.
  bool Playing() const;

 private:
  mutable std::mutex lock_;
  std::vector<float> samples_;
  int64_t startFrame_ = kNextFrame;
  bool begun_ = false;
  size_t nextFrame_ = 0;
  bool playing_ = false;
};

}  // namespace audio
