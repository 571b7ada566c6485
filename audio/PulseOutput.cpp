#include "audio/PulseOutput.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>

#include "audio/BufferMemory.h"
#include "audio/BufferPlan.h"
#include "audio/StreamClock.h"
#include "pulse/Connection.h"

namespace audio {

namespace {

constexpr int kChannels = 2;
constexpr size_t kFrameBytes = kChannels * sizeof(float);

class CPulseOutput : public AudioOutput {
 public:
  CPulseOutput(AudioSource& source, int rate, const CBufferPlan& plan)
      : source_(source), rate_(rate), plan_(plan), startFrames_(plan.Frames()) {}
  ~CPulseOutput() override { Close(); }

  bool Open(const std::string& streamName, std::string& error);

  int SampleRate() const override { return rate_; }
  double LeadSeconds() const override { return leadSeconds_.load(std::memory_order_acquire); }
  bool Running() const override { return running_.load(std::memory_order_relaxed); }
  int64_t Underruns() const override { return underruns_.load(std::memory_order_relaxed); }
  void Wake() override;
  bool Resting() const override { return resting_.load(std::memory_order_acquire); }

 private:
  // Everything below runs with the main loop's lock held: on its thread (the callbacks) or on
  // the thread in Open and Close.
  bool Fail(std::string& error, const std::string& what);
  pa_buffer_attr BufferAttr() const;
  double BufferSeconds() const;
  void Fill(size_t bytes);
  void Observe();
  void Rest();
  void Grow();
  void Resume();
  void SkipTheRest();
  void Close();

  static void OnWrite(pa_stream*, size_t bytes, void* data);
  static void OnUnderflow(pa_stream*, void* data);
  static void OnTimingAfterResume(pa_stream*, int, void* data);

  AudioSource& source_;
  const int rate_;
  CBufferPlan plan_;
  const int64_t startFrames_;
  pa_stream* stream_ = nullptr;
  bool playing_ = false;         // uncorked: the stream's time runs
  bool draining_ = false;        // closing: what is buffered plays out, nothing more is written
  bool priorityRaised_ = false;  // the audio thread has asked for its priority
  // The buffer and the sink's own latency, measured when the stream starts; the buffer's part
  // grows after a dropout.
  std::atomic<double> leadSeconds_{0.0};
  double sinkSeconds_ = 0.0;
  // Resting: corked since restNs_ (steady clock) while the source is silent. The source's
  // frames are skippedFrames_ ahead of the server's, the frames skipped over every rest; while
  // waking (timingStale_) nothing is rendered or measured until a timing report taken after
  // the uncork arrives.
  std::atomic<bool> resting_{false};
  int64_t restNs_ = 0;
  int64_t skippedFrames_ = 0;
  bool timingStale_ = false;
  std::atomic<bool> running_{false};
  std::atomic<int64_t> underruns_{0};
  pulse::CConnection connection_{running_};
  float left_[kPulseBlockFrames] = {};
  float right_[kPulseBlockFrames] = {};
};

bool CPulseOutput::Open(const std::string& streamName, std::string& error) {
  pulse::CLock lock;
  const pulse::Connected connected = connection_.Connect(lock);
  if (connected == pulse::Connected::kNoClient) {
    error = "Unable to start the PulseAudio client.";
    return false;
  }
  if (connected != pulse::Connected::kReady)
    return Fail(error, "Unable to connect to the sound server");

  const pa_sample_spec format = {PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(rate_), kChannels};
  stream_ = connection_.NewStream(streamName.c_str(), format, "music");
  if (stream_ == nullptr) return Fail(error, "Unable to create the sound stream");
  pa_stream_set_write_callback(stream_, &CPulseOutput::OnWrite, this);
  pa_stream_set_underflow_callback(stream_, &CPulseOutput::OnUnderflow, this);

  const pa_buffer_attr attr = BufferAttr();
  const auto flags =
      static_cast<pa_stream_flags_t>(PA_STREAM_EARLY_REQUESTS | PA_STREAM_INTERPOLATE_TIMING |
                                     PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_START_CORKED);
  if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0)
    return Fail(error, "Unable to start the sound stream");
  if (!connection_.WaitReady(stream_)) return Fail(error, "Unable to start the sound stream");

  running_ = true;
  const size_t writable = pa_stream_writable_size(stream_);
  if (writable != static_cast<size_t>(-1)) Fill(writable);
  if (!connection_.WaitFor(pa_stream_cork(stream_, 0, &pulse::CConnection::OnDone, &connection_)) ||
      !connection_.WaitFor(
          pa_stream_update_timing_info(stream_, &pulse::CConnection::OnDone, &connection_)))
    return Fail(error, "The sound stream does not start");
  playing_ = true;
  // With the buffer full, the latency the server reports is the most that is ever rendered
  // ahead; what it holds beyond our buffer is the sink's, and stays when the buffer grows.
  pa_usec_t latency = 0;
  int negative = 0;
  if (pa_stream_get_latency(stream_, &latency, &negative) == 0 && negative == 0)
    sinkSeconds_ = std::max(0.0, static_cast<double>(latency) / PA_USEC_PER_SEC - BufferSeconds());
  leadSeconds_.store(BufferSeconds() + sinkSeconds_, std::memory_order_release);
  // The stream's time is measured from the first request on: this early its reports still
  // run ahead.
  return true;
}

// Says what failed and why; the lock is released as Open returns.
bool CPulseOutput::Fail(std::string& error, const std::string& what) {
  const std::string reason = connection_.Reason();
  error = reason.empty() ? what + "." : what + ": " + reason + ".";
  running_ = false;
  return false;
}

// The server asks for each block as soon as one has been played (EARLY_REQUESTS) and sets
// its sink's latency to one block, so that nearly all of the latency is our full buffer. No
// prebuffering: the stream starts when we uncork it, with its buffer full, and never stops by
// itself; should it run dry, its time runs on and the frames it missed are skipped, so that
// the stream's frames keep their times.
pa_buffer_attr CPulseOutput::BufferAttr() const {
  pa_buffer_attr attr;
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.tlength = static_cast<uint32_t>(plan_.Frames() * kFrameBytes);
  attr.prebuf = 0;
  attr.minreq = static_cast<uint32_t>(kPulseBlockFrames * kFrameBytes);
  attr.fragsize = static_cast<uint32_t>(-1);
  return attr;
}

// The buffer as granted: what is kept full, and the one block (minreq) the sink holds with
// early requests.
double CPulseOutput::BufferSeconds() const {
  const pa_buffer_attr* granted = pa_stream_get_buffer_attr(stream_);
  const pa_buffer_attr attr = granted != nullptr ? *granted : BufferAttr();
  return static_cast<double>(attr.tlength + attr.minreq) / kFrameBytes / rate_;
}

void CPulseOutput::Fill(size_t bytes) {
  size_t frames = bytes / kFrameBytes;
  while (frames > 0 && running_.load(std::memory_order_relaxed)) {
    void* buffer = nullptr;
    size_t size = std::min(frames, static_cast<size_t>(kPulseBlockFrames)) * kFrameBytes;
    if (pa_stream_begin_write(stream_, &buffer, &size) < 0 || buffer == nullptr ||
        size < kFrameBytes) {
      running_ = false;
      return;
    }
    const int count = static_cast<int>(
        std::min({frames, size / kFrameBytes, static_cast<size_t>(kPulseBlockFrames)}));
    std::fill(left_, left_ + count, 0.0f);
    std::fill(right_, right_ + count, 0.0f);
    float* out[2] = {left_, right_};
    source_.Process(count, 0, nullptr, 2, out);
    float* interleaved = static_cast<float*>(buffer);
    for (int i = 0; i < count; ++i) {
      interleaved[2 * i] = left_[i];
      interleaved[2 * i + 1] = right_[i];
    }
    if (pa_stream_write(stream_, buffer, static_cast<size_t>(count) * kFrameBytes, nullptr, 0,
                        PA_SEEK_RELATIVE) < 0) {
      running_ = false;
      return;
    }
    frames -= static_cast<size_t>(count);
  }
}

void CPulseOutput::Observe() {
  // The stream's time: where the sample being heard now lies, interpolated from the server's
  // timing reports with the monotonic clock, in the source's frames.
  pa_usec_t usec = 0;
  if (!playing_ || timingStale_ || pa_stream_get_time(stream_, &usec) != 0) return;
  const int64_t now = SteadyNs();
  source_.Observe(now, static_cast<double>(usec) * rate_ / PA_USEC_PER_SEC +
                           static_cast<double>(skippedFrames_));
}

// Corks the stream once the source has been silent for a while. What is still buffered is
// silence; it plays when the stream starts again.
void CPulseOutput::Rest() {
  if (source_.SilentFrames() < static_cast<int64_t>(kPulseRestAfterSeconds * rate_)) return;
  pa_operation* operation = pa_stream_cork(stream_, 1, nullptr, nullptr);
  if (operation == nullptr) return;
  pa_operation_unref(operation);
  restNs_ = SteadyNs();
  resting_.store(true, std::memory_order_release);
}

// The stream ran dry: its buffer doubles at once, and the server asks for the frames it now
// lacks. The messages already queued keep their frames; those sent from now on are scheduled
// with the longer latency, so the music is stretched once by the growth, where the dropout
// has already broken it. A dropout in silence (as the stream starts or wakes) breaks nothing
// and grows nothing.
void CPulseOutput::Grow() {
  if (source_.SilentFrames() >= rate_ / 10 || !plan_.Underrun()) return;
  const pa_buffer_attr attr = BufferAttr();
  if (pa_operation* operation = pa_stream_set_buffer_attr(stream_, &attr, nullptr, nullptr))
    pa_operation_unref(operation);
  leadSeconds_.store(
      static_cast<double>(attr.tlength + attr.minreq) / kFrameBytes / rate_ + sinkSeconds_,
      std::memory_order_release);
}

// Uncorks the stream. Nothing is rendered until the server's timing, taken after the uncork,
// says where the stream stands: see OnTimingAfterResume.
void CPulseOutput::Resume() {
  timingStale_ = true;
  resting_.store(false, std::memory_order_release);
  for (pa_operation* operation :
       {pa_stream_cork(stream_, 0, nullptr, nullptr),
        pa_stream_update_timing_info(stream_, &CPulseOutput::OnTimingAfterResume, this)}) {
    if (operation == nullptr) {
      running_ = false;
      return;
    }
    pa_operation_unref(operation);
  }
}

// The server's time stood still while the stream rested, steady time did not; and what the
// server does with the frames it held at the cork (plays them out, or takes them back) is its
// own. So the source's frames move on to where the stream clock says the stream now is: the
// frame the server will play next keeps the time the clock gives it, and the clock's line
// neither drifts nor jumps. Without a map yet, the rest's length is the best guess.
void CPulseOutput::SkipTheRest() {
  const int64_t now = SteadyNs();
  int64_t frames = std::llround(static_cast<double>(now - restNs_) * rate_ / 1000000000.0);
  pa_usec_t usec = 0;
  double expected = 0.0;
  if (pa_stream_get_time(stream_, &usec) == 0 && source_.FrameHeardAt(now, expected))
    frames = std::llround(expected - static_cast<double>(usec) * rate_ / PA_USEC_PER_SEC) -
             skippedFrames_;
  if (frames > 0) {
    source_.SkipFrames(frames);
    skippedFrames_ += frames;
  }
}

void CPulseOutput::Wake() {
  if (!resting_.load(std::memory_order_acquire)) return;
  pulse::CLock lock(connection_);
  if (resting_.load(std::memory_order_relaxed) && running_.load(std::memory_order_relaxed))
    Resume();
}

void CPulseOutput::Close() {
  if (!connection_.Started()) return;
  pulse::CLock lock(connection_);
  // The buffer holds the last notes as they are to be heard: they play out before the stream
  // goes (a resting stream holds only silence).
  if (stream_ != nullptr && playing_ && running_.load(std::memory_order_relaxed) &&
      !resting_.load(std::memory_order_relaxed) && !timingStale_) {
    draining_ = true;
    connection_.WaitFor(pa_stream_drain(stream_, &pulse::CConnection::OnDone, &connection_));
  }
  running_ = false;
  pulse::DropStream(stream_);
  connection_.Close(lock);
  // The next stream starts with what this one grew to (written here, never on the audio
  // thread).
  if (plan_.Frames() > startFrames_) RememberBufferFrames(BufferMemoryPath(), plan_.Frames());
}

void CPulseOutput::OnWrite(pa_stream*, size_t bytes, void* data) {
  auto* self = static_cast<CPulseOutput*>(data);
  if (!self->playing_) return;  // Open fills the buffer before the stream starts
  if (!self->priorityRaised_) {
    RaiseAudioThreadPriority();
    self->priorityRaised_ = true;
  }
  // Resting, waking and not yet told where the stream stands, or playing out.
  if (self->resting_.load(std::memory_order_relaxed) || self->timingStale_ || self->draining_)
    return;
  self->Fill(bytes);
  self->Observe();
  self->Rest();
}

void CPulseOutput::OnUnderflow(pa_stream*, void* data) {
  auto* self = static_cast<CPulseOutput*>(data);
  self->underruns_.fetch_add(1, std::memory_order_relaxed);
  self->Grow();
}

void CPulseOutput::OnTimingAfterResume(pa_stream*, int, void* data) {
  auto* self = static_cast<CPulseOutput*>(data);
  if (!self->timingStale_ || !self->running_.load(std::memory_order_relaxed)) return;
  self->SkipTheRest();
  self->timingStale_ = false;
  const size_t writable = pa_stream_writable_size(self->stream_);
  if (writable != static_cast<size_t>(-1) && writable > 0) self->Fill(writable);
}

}  // namespace

std::unique_ptr<AudioOutput> OpenPulseOutput(const AudioOutputRequest& request, AudioSource& source,
                                             std::string& error) {
  // A fixed lead is the buffer and the sink's block; at least two blocks of buffer.
  const int64_t fixedFrames =
      std::llround(request.leadSeconds * request.sampleRate) - kPulseBlockFrames;
  const int64_t recalled =
      RecalledBufferFrames(BufferMemoryPath(), CBufferPlan::kStartFrames, CBufferPlan::kMostFrames,
                           std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()));
  const CBufferPlan plan =
      request.leadSeconds > 0.0
          ? CBufferPlan::Fixed(std::max<int64_t>(fixedFrames, 2 * kPulseBlockFrames))
          : CBufferPlan(std::max(recalled, CBufferPlan::kStartFrames), CBufferPlan::kMostFrames);
  auto output = std::make_unique<CPulseOutput>(source, request.sampleRate, plan);
  if (!output->Open(request.streamName, error)) return nullptr;
  return output;
}

}  // namespace audio
