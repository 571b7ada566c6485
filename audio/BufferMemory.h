#pragma once

#include <cstdint>
#include <string>

namespace audio {

// The buffer this machine has needed, kept for the next stream: a program started anew (each
// `tunwick play`, the window the next time) starts where the last one grew to instead of
// running dry again while it learns. What is kept holds for a day from when it was written;
// after that a stream starts short again.
constexpr int64_t kBufferMemorySeconds = 24 * 3600;

// Where it is kept: "sound-buffer" in the user's data folder; "" when that is unknown.
std::string BufferMemoryPath();

// The frames kept at `path`: 0 when there is no such file, it holds no whole number from
// least to most, or it was written more than kBufferMemorySeconds before nowSeconds (the
// wall clock, seconds since the epoch).
int64_t RecalledBufferFrames(const std::string& path, int64_t least, int64_t most,
                             int64_t nowSeconds);

// Keeps `frames` at `path`, creating its folder; false when it cannot be written.
bool RememberBufferFrames(const std::string& path, int64_t frames);

}  // namespace audio
