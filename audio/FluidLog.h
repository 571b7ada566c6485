#pragma once

#include <cstdint>
#include <string>

namespace audio {

// Routes FluidSynth's log to us instead of stderr (once per process). Errors are kept so
// that a failure can be reported with FluidSynth's own text; other levels are dropped.
void CaptureFluidLog();

// A count that grows with every error FluidSynth logs.
uint64_t FluidErrorCount();
// The latest error logged after FluidErrorCount() returned since, or "" if none was.
std::string FluidErrorSince(uint64_t since);

}  // namespace audio
