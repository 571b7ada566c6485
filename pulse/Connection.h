#pragma once

#include <pulse/pulseaudio.h>

#include <atomic>
#include <functional>
#include <string>

namespace pulse {

// How long connecting, and each step a client then waits for, may take.
constexpr pa_usec_t kTimeoutUsec = 2 * PA_USEC_PER_SEC;

// How connecting ended.
enum class Connected {
  kReady,     // the context is ready
  kNoClient,  // no main loop, context or thread
  kRefused,   // the connection was refused at once
  kNotReady,  // the context failed or the time ran out: see Reason()
};

class CLock;

// A connection to the desktop's sound server on a threaded main loop, for one stream of a
// client's own. The client's running flag is cleared when the server or the stream fails.
// Connect takes the main loop's lock itself; the rest runs with it held: on the main loop's
// thread (the callbacks) or under a CLock.
class CConnection {
 public:
  explicit CConnection(std::atomic<bool>& running) : running_(running) {}
  ~CConnection();
  CConnection(const CConnection&) = delete;
  CConnection& operator=(const CConnection&) = delete;

  // Makes the main loop and the context, asks to connect (a desktop's sound server is started
  // by the desktop, never by us), takes the lock into `lock`, starts the main loop's thread
  // and waits for the context. `lock` is held on return from the moment it was taken.
  Connected Connect(CLock& lock);
  // Whether there is a main loop to lock and close.
  bool Started() const { return mainloop_ != nullptr; }

  // Waits until `done`, or until the time runs out. Returns done().
  bool Wait(const std::function<bool()>& done);
  // Waits for an operation to finish and lets it go; false for none or when the time runs out.
  bool WaitFor(pa_operation* operation);
  // A new stream with the media role `role`, watched: its failure clears the running flag.
  pa_stream* NewStream(const char* name, const pa_sample_spec& format, const char* role);
  // Waits until the stream is ready; false when it failed or the time ran out.
  bool WaitReady(pa_stream* stream);
  // Why the last step failed: the server did not answer in time, the context's error, or ""
  // when nothing is known.
  std::string Reason() const;
  // A stream operation's callback that wakes whoever waits for it: `connection` is the
  // CConnection.
  static void OnDone(pa_stream*, int, void* connection);

  // With `lock` held: the context's callback cleared, the context disconnected and let go;
  // then the lock released, the thread stopped and the main loop freed.
  void Close(CLock& lock);

 private:
  friend class CLock;

  void Signal();
  static void OnContextState(pa_context* context, void* data);
  static void OnStreamState(pa_stream* stream, void* data);
  static void OnTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data);

  std::atomic<bool>& running_;
  pa_threaded_mainloop* mainloop_ = nullptr;
  pa_context* context_ = nullptr;
  bool timedOut_ = false;
};

// Holds a connection's main loop lock for its scope.
class CLock {
 public:
  CLock() = default;  // holds nothing until a connection takes it
  explicit CLock(CConnection& connection);
  ~CLock() { Release(); }
  CLock(const CLock&) = delete;
  CLock& operator=(const CLock&) = delete;

  void Release();

 private:
  friend class CConnection;
  void Take(pa_threaded_mainloop* mainloop);

  pa_threaded_mainloop* mainloop_ = nullptr;
};

// A stream's tear-down, with the lock held: every callback cleared, then disconnected and let
// go. Nothing for none.
void DropStream(pa_stream*& stream);

}  // namespace pulse
