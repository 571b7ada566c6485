#pragma once

#include <cstdint>

// A singer's range: the lowest and the highest key (MIDI note numbers) they sing with ease,
// low below high.
struct VoiceRange {
  int32_t low = 0;
  int32_t high = 0;
};
