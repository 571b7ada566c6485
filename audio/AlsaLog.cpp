#include "audio/AlsaLog.h"

#include <alsa/asoundlib.h>

#include <mutex>

namespace audio {

namespace {

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

void SilenceAlsaLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(&IgnoreAlsaError); });
}

}  // namespace audio
