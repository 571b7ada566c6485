#include "notation/BeatTime.h"

bool FitsInt32Ms(double ms) { return ms >= -2147483648.0 && ms < 2147483648.0; }

std::optional<int32_t> BeatsToMs(double beats, int32_t msPerBeat) {
  const double ms = beats * msPerBeat;
  if (!FitsInt32Ms(ms)) return std::nullopt;
  return static_cast<int32_t>(ms);
}
