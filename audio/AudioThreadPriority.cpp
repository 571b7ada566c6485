#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "audio/AudioOutput.h"

namespace audio {

namespace {

// Real-time priority of the audio threads: above every normal thread, below the sound
// server's own (PulseAudio and PipeWire use 5 to 20 with rtkit, JACK more).
constexpr int kRealtimePriority = 4;
// Otherwise as much of a head start over normal threads as the system allows.
constexpr int kRaisedNice = -11;

}  // namespace

const char* RaiseAudioThreadPriority() {
  sched_param param{};
  param.sched_priority = kRealtimePriority;
  if (pthread_setschedparam(pthread_self(), SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0)
    return "real-time";
  const pid_t thread = static_cast<pid_t>(syscall(SYS_gettid));
  if (setpriority(PRIO_PROCESS, static_cast<id_t>(thread), kRaisedNice) == 0) return "raised";
  return "normal";
}

}  // namespace audio
