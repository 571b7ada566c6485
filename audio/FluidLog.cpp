#include "audio/FluidLog.h"

#include <fluidsynth.h>

#include <mutex>

namespace audio {

namespace {

std::mutex logLock;
uint64_t errorCount = 0;
std::string lastError;

void KeepError(int level, const char* message, void*) {
  if (level != FLUID_PANIC && level != FLUID_ERR) return;
  std::lock_guard<std::mutex> hold(logLock);
  ++errorCount;
  lastError = message != nullptr ? message : "";
}

void Drop(int, const char*, void*) {}

}  // namespace

void CaptureFluidLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    fluid_set_log_function(FLUID_PANIC, KeepError, nullptr);
    fluid_set_log_function(FLUID_ERR, KeepError, nullptr);
    fluid_set_log_function(FLUID_WARN, Drop, nullptr);
    fluid_set_log_function(FLUID_INFO, Drop, nullptr);
    fluid_set_log_function(FLUID_DBG, Drop, nullptr);
  });
}

uint64_t FluidErrorCount() {
  std::lock_guard<std::mutex> hold(logLock);
  return errorCount;
}

std::string FluidErrorSince(uint64_t since) {
  std::lock_guard<std::mutex> hold(logLock);
  return errorCount > since ? lastError : std::string();
}

}  // namespace audio
