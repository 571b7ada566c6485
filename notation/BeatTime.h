#pragma once

#include <cstdint>
#include <optional>

// A time as the player lays it out and the judge times a take: whole milliseconds in 32 bits.

// True when `ms` (not a number: false) fits a 32-bit millisecond count.
bool FitsInt32Ms(double ms);

// `beats` at `msPerBeat` as whole milliseconds, truncated toward zero; none when the product
// does not fit 32 bits.
std::optional<int32_t> BeatsToMs(double beats, int32_t msPerBeat);
