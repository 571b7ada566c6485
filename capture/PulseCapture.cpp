// Capture through our own asynchronous PulseAudio client. The server pushes what the source
// records and the main loop's thread hands it to the sink; nothing ever waits in a read, so a
// source that stops sending (suspended, a headset gone) leaves the stream idle, and closing
// it takes only the main loop's lock, held for one block at most.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>

#include "capture/CaptureStream.h"

namespace capture {

namespace {

// How long connecting and starting the stream may take.
constexpr pa_usec_t kTimeoutUsec = 2 * PA_USEC_PER_SEC;

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
  bool Wait(const std::function<bool()>& done);
  bool Fail(std::string& error, const char* what);
  void Read();
  void Close();

  static void OnContextState(pa_context* context, void* data);
  static void OnStreamState(pa_stream* stream, void* data);
  static void OnRead(pa_stream*, size_t, void* data);
  static void OnOverflow(pa_stream*, void* data);
  static void OnTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data);

  const unsigned rate_;
  BlockSink sink_;
  pa_threaded_mainloop* mainloop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  bool timedOut_ = false;
  std::atomic<bool> running_{false};
  std::atomic<unsigned> overflows_{0};
  float block_[kCaptureBlockFrames] = {};
};

bool CPulseCapture::Open(std::string& error) {
  mainloop_ = pa_threaded_mainloop_new();
  if (mainloop_ == nullptr) {
    error = "unable to start the client";
    return false;
  }
  pa_proplist* properties = pa_proplist_new();
  pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Tunwick");
  pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "tunwick");
  context_ =
      pa_context_new_with_proplist(pa_threaded_mainloop_get_api(mainloop_), "Tunwick", properties);
  pa_proplist_free(properties);
  if (context_ == nullptr) {
    error = "unable to start the client";
    return false;
  }
  pa_context_set_state_callback(context_, &CPulseCapture::OnContextState, this);
  // A desktop's sound server is started by the desktop, never by us.
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    error = std::string("no sound server: ") + pa_strerror(pa_context_errno(context_));
    return false;
  }
  pa_threaded_mainloop_lock(mainloop_);
  if (pa_threaded_mainloop_start(mainloop_) < 0) {
    pa_threaded_mainloop_unlock(mainloop_);
    error = "unable to start the client";
    return false;
  }
  const bool ready = Wait([this] {
    const pa_context_state_t state = pa_context_get_state(context_);
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
  });
  if (!ready || pa_context_get_state(context_) != PA_CONTEXT_READY)
    return Fail(error, "no sound server");

  const pa_sample_spec format = {PA_SAMPLE_FLOAT32NE, rate_, 1};
  pa_proplist* streamProperties = pa_proplist_new();
  pa_proplist_sets(streamProperties, PA_PROP_MEDIA_ROLE, "production");
  stream_ = pa_stream_new_with_proplist(context_, "Tunwick", &format, nullptr, streamProperties);
  pa_proplist_free(streamProperties);
  if (stream_ == nullptr) return Fail(error, "unable to create the stream");
  pa_stream_set_state_callback(stream_, &CPulseCapture::OnStreamState, this);
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
  const bool connected = Wait([this] {
    const pa_stream_state_t state = pa_stream_get_state(stream_);
    return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
  });
  if (!connected || pa_stream_get_state(stream_) != PA_STREAM_READY)
    return Fail(error, "no input device");
  pa_threaded_mainloop_unlock(mainloop_);
  return true;
}

bool CPulseCapture::Fail(std::string& error, const char* what) {
  const int code = context_ != nullptr ? pa_context_errno(context_) : PA_OK;
  error = what;
  if (timedOut_)
    error += " (the sound server does not answer)";
  else if (code != PA_OK)
    error += std::string(" (") + pa_strerror(code) + ")";
  running_ = false;
  pa_threaded_mainloop_unlock(mainloop_);
  return false;
}

bool CPulseCapture::Wait(const std::function<bool()>& done) {
  timedOut_ = false;
  pa_time_event* timer = pa_context_rttime_new(context_, pa_rtclock_now() + kTimeoutUsec,
                                               &CPulseCapture::OnTimeout, this);
  while (!done() && !timedOut_) pa_threaded_mainloop_wait(mainloop_);
  if (timer != nullptr) pa_threaded_mainloop_get_api(mainloop_)->time_free(timer);
  return done();
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
  if (mainloop_ == nullptr) return;
  pa_threaded_mainloop_lock(mainloop_);
  running_ = false;
  if (stream_ != nullptr) {
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    pa_stream_set_overflow_callback(stream_, nullptr, nullptr);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
  }
  if (context_ != nullptr) {
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
  }
  pa_threaded_mainloop_unlock(mainloop_);
  pa_threaded_mainloop_stop(mainloop_);
  pa_threaded_mainloop_free(mainloop_);
  mainloop_ = nullptr;
}

void CPulseCapture::OnContextState(pa_context* context, void* data) {
  auto* self = static_cast<CPulseCapture*>(data);
  if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) self->running_ = false;
  pa_threaded_mainloop_signal(self->mainloop_, 0);
}

void CPulseCapture::OnStreamState(pa_stream* stream, void* data) {
  auto* self = static_cast<CPulseCapture*>(data);
  if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) self->running_ = false;
  pa_threaded_mainloop_signal(self->mainloop_, 0);
}

void CPulseCapture::OnRead(pa_stream*, size_t, void* data) {
  static_cast<CPulseCapture*>(data)->Read();
}

void CPulseCapture::OnOverflow(pa_stream*, void* data) {
  static_cast<CPulseCapture*>(data)->overflows_.fetch_add(1, std::memory_order_relaxed);
}

void CPulseCapture::OnTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
  auto* self = static_cast<CPulseCapture*>(data);
  self->timedOut_ = true;
  pa_threaded_mainloop_signal(self->mainloop_, 0);
}

}  // namespace

std::unique_ptr<CaptureStream> OpenPulseCapture(unsigned rate, BlockSink sink, std::string& error) {
  auto stream = std::make_unique<CPulseCapture>(rate, std::move(sink));
  if (!stream->Open(error)) return nullptr;
  return stream;
}

}  // namespace capture
