#pragma once

#include <string>

namespace capture {

// Routes aubio's log to us instead of stderr (once per process). The latest error is kept so
// that a failure can be reported with aubio's own text; other levels are dropped. Throws as
// Aubio() does when aubio cannot be loaded.
void CaptureAubioLog();

// The latest error aubio logged on this thread since the last call, or "" if none; clears it.
std::string TakeAubioError();

}  // namespace capture
