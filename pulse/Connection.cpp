#include "pulse/Connection.h"

namespace pulse {

CConnection::~CConnection() {
  if (mainloop_ == nullptr) return;
  CLock lock(*this);
  Close(lock);
}

Connected CConnection::Connect(CLock& lock) {
  mainloop_ = pa_threaded_mainloop_new();
  if (mainloop_ == nullptr) return Connected::kNoClient;
  pa_proplist* properties = pa_proplist_new();
  pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Tunwick");
  pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "tunwick");
  context_ =
      pa_context_new_with_proplist(pa_threaded_mainloop_get_api(mainloop_), "Tunwick", properties);
  pa_proplist_free(properties);
  if (context_ == nullptr) return Connected::kNoClient;
  pa_context_set_state_callback(context_, &CConnection::OnContextState, this);
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
    return Connected::kRefused;
  lock.Take(mainloop_);
  if (pa_threaded_mainloop_start(mainloop_) < 0) return Connected::kNoClient;
  const bool ready = Wait([this] {
    const pa_context_state_t state = pa_context_get_state(context_);
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
  });
  if (!ready || pa_context_get_state(context_) != PA_CONTEXT_READY) return Connected::kNotReady;
  return Connected::kReady;
}

bool CConnection::Wait(const std::function<bool()>& done) {
  timedOut_ = false;
  pa_time_event* timer = pa_context_rttime_new(context_, pa_rtclock_now() + kTimeoutUsec,
                                               &CConnection::OnTimeout, this);
  while (!done() && !timedOut_) pa_threaded_mainloop_wait(mainloop_);
  if (timer != nullptr) pa_threaded_mainloop_get_api(mainloop_)->time_free(timer);
  return done();
}

bool CConnection::WaitFor(pa_operation* operation) {
  if (operation == nullptr) return false;
  const bool done =
      Wait([operation] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; });
  pa_operation_unref(operation);
  return done;
}

pa_stream* CConnection::NewStream(const char* name, const pa_sample_spec& format,
                                  const char* role) {
  pa_proplist* properties = pa_proplist_new();
  pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, role);
  pa_stream* stream = pa_stream_new_with_proplist(context_, name, &format, nullptr, properties);
  pa_proplist_free(properties);
  if (stream != nullptr) pa_stream_set_state_callback(stream, &CConnection::OnStreamState, this);
  return stream;
}

bool CConnection::WaitReady(pa_stream* stream) {
  const bool settled = Wait([stream] {
    const pa_stream_state_t state = pa_stream_get_state(stream);
    return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
  });
  return settled && pa_stream_get_state(stream) == PA_STREAM_READY;
}

std::string CConnection::Reason() const {
  if (timedOut_) return "the sound server does not answer";
  const int code = context_ != nullptr ? pa_context_errno(context_) : PA_OK;
  return code != PA_OK ? pa_strerror(code) : "";
}

void CConnection::Signal() { pa_threaded_mainloop_signal(mainloop_, 0); }

void CConnection::OnDone(pa_stream*, int, void* connection) {
  static_cast<CConnection*>(connection)->Signal();
}

void CConnection::Close(CLock& lock) {
  if (context_ != nullptr) {
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
  }
  lock.Release();
  pa_threaded_mainloop_stop(mainloop_);
  pa_threaded_mainloop_free(mainloop_);
  mainloop_ = nullptr;
}

void CConnection::OnContextState(pa_context* context, void* data) {
  auto* self = static_cast<CConnection*>(data);
  if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) self->running_ = false;
  self->Signal();
}

void CConnection::OnStreamState(pa_stream* stream, void* data) {
  auto* self = static_cast<CConnection*>(data);
  if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) self->running_ = false;
  self->Signal();
}

void CConnection::OnTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
  auto* self = static_cast<CConnection*>(data);
  self->timedOut_ = true;
  self->Signal();
}

CLock::CLock(CConnection& connection) { Take(connection.mainloop_); }

void CLock::Take(pa_threaded_mainloop* mainloop) {
  Release();
  mainloop_ = mainloop;
  if (mainloop_ != nullptr) pa_threaded_mainloop_lock(mainloop_);
}

void CLock::Release() {
  if (mainloop_ != nullptr) pa_threaded_mainloop_unlock(mainloop_);
  mainloop_ = nullptr;
}

void DropStream(pa_stream*& stream) {
  if (stream == nullptr) return;
  pa_stream_set_read_callback(stream, nullptr, nullptr);
  pa_stream_set_write_callback(stream, nullptr, nullptr);
  pa_stream_set_overflow_callback(stream, nullptr, nullptr);
  pa_stream_set_underflow_callback(stream, nullptr, nullptr);
  pa_stream_set_latency_update_callback(stream, nullptr, nullptr);
  pa_stream_set_state_callback(stream, nullptr, nullptr);
  pa_stream_disconnect(stream);
  pa_stream_unref(stream);
  stream = nullptr;
}

}  // namespace pulse
