#pragma once

#include <cstdint>

// The one shared buffer for score text: at most 29999 bytes and the terminating zero.
constexpr int32_t kTextBufferSize = 30000;
extern char textBuffer[kTextBufferSize];
