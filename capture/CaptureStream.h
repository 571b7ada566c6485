#pragma once

// Capture from the desktop's default input: one interface, one file per backend, chosen
// through one table in order of preference.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace capture {

// The frames in a block the sink is handed, at most: 5.8 ms at 44.1 kHz.
constexpr unsigned kCaptureBlockFrames = 256;

// Called on the capture thread for each block of mono samples in [-1, 1]: it must return
// quickly and not block.
using BlockSink = std::function<void(const float* samples, unsigned frames)>;

// A running capture stream. Destroying it stops it at once: the sink is called no more, and
// the caller never waits on a read that is stuck (a microphone that stopped sending).
class CaptureStream {
 public:
  virtual ~CaptureStream() = default;
  virtual unsigned SampleRate() const = 0;
  // False once the stream has stopped by itself (the device or the server went away).
  virtual bool Running() const = 0;
  // Blocks the sound system reported lost (the sink was too slow).
  virtual unsigned Overflows() const = 0;
};

// Opens a backend's default input at `rate` (a backend may choose another) and starts it;
// nullptr with `error` set when it does not start.
using CaptureOpener = std::unique_ptr<CaptureStream> (*)(unsigned rate, BlockSink sink,
                                                         std::string& error);

struct CaptureBackend {
  const char* name;
  CaptureOpener open;
};

// Our own PulseAudio client first (which PipeWire desktops also serve), so that the desktop's
// choice of microphone holds; then ALSA's default device through RtAudio.
const std::vector<CaptureBackend>& CaptureBackends();

std::unique_ptr<CaptureStream> OpenPulseCapture(unsigned rate, BlockSink sink, std::string& error);
std::unique_ptr<CaptureStream> OpenAlsaCapture(unsigned rate, BlockSink sink, std::string& error);

}  // namespace capture
