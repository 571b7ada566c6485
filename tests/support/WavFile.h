#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// Writes 16-bit PCM samples (interleaved when channels > 1) as a WAV file, through the
// program's WAV writer; false when it cannot.
bool WriteWav(const std::string& path, int rate, int channels, const std::vector<int16_t>& samples);

}  // namespace testsupport
