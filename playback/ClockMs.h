#pragma once

#include <cstdint>

// Clock readings are 32-bit milliseconds that may wrap: compare them by difference.
inline int32_t MsBetween(int32_t from, int32_t to) {
  return static_cast<int32_t>(static_cast<uint32_t>(to) - static_cast<uint32_t>(from));
}
