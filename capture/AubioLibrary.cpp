#include "capture/AubioLibrary.h"

#include <dlfcn.h>

#include <mutex>
#include <stdexcept>
#include <string>

namespace capture {

const char kAubioLibraryName[] = "libaubio.so.5";

namespace {

// Looks `name` up in `handle` as the type of `slot`; false when it is missing.
template <typename Function>
bool Resolve(void* handle, const char* name, Function& slot) {
  slot = reinterpret_cast<Function>(dlsym(handle, name));
  return slot != nullptr;
}

AubioLibrary Open() {
  void* handle = dlopen(kAubioLibraryName, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    throw std::runtime_error(std::string("aubio, which tracks the pitch, cannot be loaded: ") +
                             (why != nullptr ? why : kAubioLibraryName));
  }
  // Kept open for the rest of the process: trackers may be made at any time.
  AubioLibrary aubio{};
  const char* missing = nullptr;
  if (!Resolve(handle, "new_aubio_pitch", aubio.newPitch)) missing = "new_aubio_pitch";
  if (!Resolve(handle, "del_aubio_pitch", aubio.deletePitch)) missing = "del_aubio_pitch";
  if (!Resolve(handle, "aubio_pitch_do", aubio.pitchDo)) missing = "aubio_pitch_do";
  if (!Resolve(handle, "aubio_pitch_set_unit", aubio.pitchSetUnit))
    missing = "aubio_pitch_set_unit";
  if (!Resolve(handle, "aubio_pitch_set_silence", aubio.pitchSetSilence))
    missing = "aubio_pitch_set_silence";
  if (!Resolve(handle, "new_fvec", aubio.newVector)) missing = "new_fvec";
  if (!Resolve(handle, "del_fvec", aubio.deleteVector)) missing = "del_fvec";
  if (!Resolve(handle, "aubio_log_set_level_function", aubio.logSetLevelFunction))
    missing = "aubio_log_set_level_function";
  if (missing != nullptr)
    throw std::runtime_error(std::string(kAubioLibraryName) + " has no " + missing + ".");
  return aubio;
}

}  // namespace

const AubioLibrary& Aubio() {
  // A failure is not remembered: a later call tries again and reports again.
  static std::mutex lock;
  static bool opened = false;
  static AubioLibrary library{};
  std::lock_guard<std::mutex> hold(lock);
  if (!opened) {
    library = Open();
    opened = true;
  }
  return library;
}

}  // namespace capture
