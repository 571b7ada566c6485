#include "capture/AudioCapture.h"

namespace capture {

const char kNoInputDeviceMessage[] = "No audio input device is available";

const std::vector<CaptureBackend>& CaptureBackends() {
  static const std::vector<CaptureBackend> kBackends = {
      {"PulseAudio", &OpenPulseCapture},
      {"ALSA", &OpenAlsaCapture},
  };
  return kBackends;
}

CAudioCapture::CAudioCapture() = default;

CAudioCapture::~CAudioCapture() { Stop(); }

void CAudioCapture::Start(BlockSink sink) {
  Stop();
  std::string reasons;
  for (const CaptureBackend& backend : CaptureBackends()) {
    std::string why;
    stream_ = backend.open(kPreferredRate, sink, why);
    if (stream_ != nullptr) {
      backendName_ = backend.name;
      return;
    }
    reasons += (reasons.empty() ? "" : "; ") + std::string(backend.name) + ": " + why;
  }
  throw AudioCaptureError(std::string(kNoInputDeviceMessage) +
                          (reasons.empty() ? "." : " (" + reasons + ")."));
}

void CAudioCapture::Stop() {
  stream_.reset();
  backendName_.clear();
}

bool CAudioCapture::Running() const { return stream_ != nullptr && stream_->Running(); }

}  // namespace capture
