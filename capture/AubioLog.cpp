#include "capture/AubioLog.h"

#include <mutex>

#include "capture/AubioLibrary.h"

namespace capture {

namespace {

thread_local std::string latestError;

void KeepError(int, const char_t* message, void*) {
  latestError = message != nullptr ? message : "";
  // aubio ends its lines with a newline.
  while (!latestError.empty() && (latestError.back() == '\n' || latestError.back() == ' '))
    latestError.pop_back();
}

void Drop(int, const char_t*, void*) {}

}  // namespace

void CaptureAubioLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    const AubioLibrary& aubio = Aubio();
    aubio.logSetLevelFunction(AUBIO_LOG_ERR, KeepError, nullptr);
    aubio.logSetLevelFunction(AUBIO_LOG_WRN, Drop, nullptr);
    aubio.logSetLevelFunction(AUBIO_LOG_INF, Drop, nullptr);
    aubio.logSetLevelFunction(AUBIO_LOG_MSG, Drop, nullptr);
    aubio.logSetLevelFunction(AUBIO_LOG_DBG, Drop, nullptr);
  });
}

std::string TakeAubioError() {
  std::string error;
  error.swap(latestError);
  return error;
}

}  // namespace capture
