#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

class RtAudio;

namespace capture {

// Why capture cannot start: no input device, or the one there refused to open.
class AudioCaptureError : public std::runtime_error {
 public:
  explicit AudioCaptureError(const std::string& message) : std::runtime_error(message) {}
};

// The start of the message when no input device answers.
extern const char kNoInputDeviceMessage[];

// Mono capture from the desktop's default input: through the sound server (PulseAudio, which
// PipeWire desktops also serve), else ALSA's default device. Blocks of samples in [-1, 1]
// go to a sink on the audio thread.
class CAudioCapture {
 public:
  static constexpr unsigned kPreferredRate = 44100;
  static constexpr unsigned kBlockFrames = 256;  // 5.8 ms at 44.1 kHz

  // Called on the audio thread for each block: it must return quickly and not block.
  using BlockSink = std::function<void(const float* samples, unsigned frames)>;

  CAudioCapture();
  ~CAudioCapture();  // stops
  CAudioCapture(const CAudioCapture&) = delete;
  CAudioCapture& operator=(const CAudioCapture&) = delete;

  // Opens the default input and starts it. Throws AudioCaptureError: kNoInputDeviceMessage
  // followed by what each backend said when none opens.
  void Start(BlockSink sink);
  void Stop();
  bool Running() const;

  // Valid while running.
  unsigned sampleRate() const { return sampleRate_; }
  const std::string& backendName() const { return backendName_; }
  // Blocks the sound system reported lost since Start (the sink was too slow).
  unsigned overflows() const { return overflows_.load(); }

 private:
  static int OnBlock(void* output, void* input, unsigned frames, double streamTime, unsigned status,
                     void* self);

  std::unique_ptr<RtAudio> audio_;
  BlockSink sink_;
  unsigned sampleRate_ = 0;
  std::string backendName_;
  std::atomic<unsigned> overflows_{0};
};

}  // namespace capture
