#include "tests/support/WavFile.h"

#include "files/SoundFileWriter.h"

namespace testsupport {

bool WriteWav(const std::string& path, int rate, int channels,
              const std::vector<int16_t>& samples) {
  CSoundFileWriter wav;
  return wav.Open(path, rate, channels) &&
         wav.Write(samples.data(), static_cast<int64_t>(samples.size()) / channels) && wav.Commit();
}

}  // namespace testsupport
