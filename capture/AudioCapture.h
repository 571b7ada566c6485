#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "capture/CaptureStream.h"

namespace capture {

// Why capture cannot start: no input device, or the one there refused to open.
class AudioCaptureError : public std::runtime_error {
 public:
  explicit AudioCaptureError(const std::string& message) : std::runtime_error(message) {}
};

// The start of the message when no input device answers.
extern const char kNoInputDeviceMessage[];

// Mono capture from the desktop's default input: the first backend of CaptureBackends() that
// opens. Blocks of samples in [-1, 1] go to a sink on the capture thread.
class CAudioCapture {
 public:
  static constexpr unsigned kPreferredRate = 44100;
  static constexpr unsigned kBlockFrames = kCaptureBlockFrames;

  using BlockSink = capture::BlockSink;

  CAudioCapture();
  ~CAudioCapture();  // stops
  CAudioCapture(const CAudioCapture&) = delete;
  CAudioCapture& operator=(const CAudioCapture&) = delete;

  // Opens the default input and starts it. Throws AudioCaptureError: kNoInputDeviceMessage
  // followed by what each backend said when none opens.
  void Start(BlockSink sink);
  // Stops at once, even when the input has stopped sending: the sink is called no more.
  void Stop();
  bool Running() const;

  // Valid while running.
  unsigned SampleRate() const { return stream_ != nullptr ? stream_->SampleRate() : 0; }
  const std::string& BackendName() const { return backendName_; }
  // Blocks the sound system reported lost since Start (the sink was too slow).
  unsigned Overflows() const { return stream_ != nullptr ? stream_->Overflows() : 0; }

 private:
  std::unique_ptr<CaptureStream> stream_;
  std::string backendName_;
};

}  // namespace capture
