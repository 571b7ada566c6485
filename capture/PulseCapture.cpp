// Capture through our own asynchronous PulseAudio client. The server pushes what the source
// records and the main loop's thread hands it to the sink; nothing ever waits in a read, so a
// source that stops sending (suspended, a headset gone) leaves the stream idle, and closing
// it takes only the main loop's lock, held for one block at most.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "capture/CaptureStream.h"
#include "pulse/Connection.h"

namespace capture {

namespace {

class CPulseCapture : public CaptureStream {
 public:
  CPulseCapture(unsigned rate, BlockSink sink) : rate_(rate), sink_(std::move(sink)) {}
  ~CPulseCapture() override { Close(); }

  bool Open(std::string& error);

  unsigned SampleRate() const override { return rate_; }
  bool Running() const override { return running_.load(std::memory_order_relaxed); }
  unsigned Overflows() const override { return overflows_.load(std::memory_order_relaxed); }

 private:
  // With the main loop's lock held: on its thread (the callbacks) or in Open and Close.
  bool Fail(std::string& error, const char* what);
  void Read();
  void Close();

  static void OnRead(pa_stream*, size_t, void* data);
  static void OnOverflow(pa_stream*, void* data);

  const unsigned rate_;
  BlockSink sink_;
  pa_stream* stream_ = nullptr;
  std::atomic<bool> running_{false};
  std::atomic<unsigned> overflows_{0};
  pulse::CConnection connection_{running_};
  float block_[kCaptureBlockFrames] = {};
};

bool CPulseCapture::Open(std::string& error) {
  pulse::CLock lock;
  switch (connection_.Connect(lock)) {
    case pulse::Connected::kReady:
      break;
    case pulse::Connected::kNoClient:
      error = "unable to start the client";
      return false;
    case pulse::Connected::kRefused:
      error = "no sound server: " + connection_.Reason();
      return false;
    case pulse::Connected::kNotReady:
      return Fail(error, "no sound server");
  }

  const pa_sample_spec format = {PA_SAMPLE_FLOAT32NE, rate_, 1};
  stream_ = connection_.NewStream("Tunwick", format, "production");
  if (stream_ == nullptr) return Fail(error, "unable to create the stream");
  pa_stream_set_read_callback(stream_, &CPulseCapture::OnRead, this);
  pa_stream_set_overflow_callback(stream_, &CPulseCapture::OnOverflow, this);
  // A block at a time, as soon as the source has recorded it.
  pa_buffer_attr attr;
  std::memset(&attr, 0xff, sizeof attr);
  attr.fragsize = static_cast<uint32_t>(kCaptureBlockFrames * sizeof(float));
  // The default source: the desktop's choice, or PULSE_SOURCE's.
  if (pa_stream_connect_record(stream_, nullptr, &attr, PA_STREAM_ADJUST_LATENCY) < 0)
    return Fail(error, "unable to start the stream");
  running_ = true;
  if (!connection_.WaitReady(stream_)) return Fail(error, "no input device");
  return true;
}

// Says what failed and why; the lock is released as Open returns.
bool CPulseCapture::Fail(std::string& error, const char* what) {
  const std::string reason = connection_.Reason();
  error = reason.empty() ? std::string(what) : what + (" (" + reason + ")");
  running_ = false;
  return false;
}

void CPulseCapture::Read() {
  const void* data = nullptr;
  size_t bytes = 0;
  while (pa_stream_readable_size(stream_) > 0) {
    if (pa_stream_peek(stream_, &data, &bytes) < 0) {
      running_ = false;
      return;
    }
    if (bytes == 0) return;
    // A hole (data null) is what the server dropped: it is skipped.
    if (data != nullptr && running_.load(std::memory_order_relaxed)) {
      const auto* bytesIn = static_cast<const unsigned char*>(data);
      size_t frames = bytes / sizeof(float);
      while (frames > 0) {
        const size_t count = std::min<size_t>(frames, kCaptureBlockFrames);
        std::memcpy(block_, bytesIn, count * sizeof(float));  // aligned, in blocks
        sink_(block_, static_cast<unsigned>(count));
        bytesIn += count * sizeof(float);
        frames -= count;
      }
    }
    pa_stream_drop(stream_);
  }
}

void CPulseCapture::Close() {
  if (!connection_.Started()) return;
  pulse::CLock lock(connection_);
  running_ = false;
  pulse::DropStream(stream_);
  connection_.Close(lock);
}

void CPulseCapture::OnRead(pa_stream*, size_t, void* data) {
  static_cast<CPulseCapture*>(data)->Read();
}

void CPulseCapture::OnOverflow(pa_stream*, void* data) {
  static_cast<CPulseCapture*>(data)->overflows_.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

std::unique_ptr<CaptureStream> OpenPulseCapture(unsigned rate, BlockSink sink, std::string& error) {
  auto stream = std::make_unique<CPulseCapture>(rate, std::move(sink));
  if (!stream->Open(error)) return nullptr;
  return stream;
}

}  // namespace capture
