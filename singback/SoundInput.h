#pragma once

#include <memory>

#include "capture/AudioCapture.h"

// Where the learner's voice comes from: the desktop's default input, or a test's.
class SoundInput {
 public:
  virtual ~SoundInput() = default;
  // Starts sending blocks to `sink` on another thread and returns their sample rate; throws
  // capture::AudioCaptureError when no input can be opened. Stops when destroyed.
  virtual unsigned Start(capture::CAudioCapture::BlockSink sink) = 0;
};

// The desktop's default input, through CAudioCapture.
class CDefaultInput : public SoundInput {
 public:
  unsigned Start(capture::CAudioCapture::BlockSink sink) override {
    capture_.Start(std::move(sink));
    return capture_.SampleRate();
  }

 private:
  capture::CAudioCapture capture_;
};
