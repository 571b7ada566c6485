#include <cstdlib>
#include <cstring>

#include "audio/AudioOutput.h"
#include "audio/FluidDriverOutput.h"
#include "audio/PulseOutput.h"

namespace audio {

const std::vector<AudioOutputBackend>& AudioOutputBackends() {
  static const std::vector<AudioOutputBackend> kBackends = {
      {"pulseaudio", &OpenPulseOutput},
      {"alsa", &OpenFluidDriverOutput},
      {"jack", &OpenFluidDriverOutput},
  };
  return kBackends;
}

std::vector<std::string> AudioDriverOrder() {
  if (const char* chosen = std::getenv("TUNWICK_AUDIO_DRIVER"); chosen != nullptr && *chosen)
    return {chosen};
  std::vector<std::string> names;
  for (const AudioOutputBackend& backend : AudioOutputBackends()) names.emplace_back(backend.name);
  return names;
}

std::unique_ptr<AudioOutput> OpenAudioOutput(const AudioOutputRequest& request, AudioSource& source,
                                             std::string& error) {
  for (const AudioOutputBackend& backend : AudioOutputBackends())
    if (request.driver == backend.name) return backend.open(request, source, error);
  return OpenFluidDriverOutput(request, source, error);
}

std::unique_ptr<AudioOutput> OpenFirstWorkingOutput(const std::vector<std::string>& drivers,
                                                    const AudioDriverAttempt& attempt,
                                                    std::string& driver, std::string& error) {
  std::string firstError;
  for (const std::string& name : drivers) {
    std::string complaint;
    if (std::unique_ptr<AudioOutput> output = attempt(name, complaint)) {
      driver = name;
      return output;
    }
    if (firstError.empty()) firstError = complaint;
  }
  error = firstError.empty() ? "No audio driver to try." : firstError;
  return nullptr;
}

}  // namespace audio
