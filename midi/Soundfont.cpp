#include "midi/Soundfont.h"

#include <fluidsynth.h>
#include <unistd.h>

#include <cstdlib>

#include "audio/FluidLog.h"

namespace midi {

std::vector<std::string> SoundfontCandidates() {
  std::vector<std::string> candidates;
  if (const char* named = std::getenv("TUNWICK_SOUNDFONT"); named != nullptr && *named != '\0')
    candidates.emplace_back(named);
  audio::CaptureFluidLog();
  if (fluid_settings_t* settings = new_fluid_settings()) {
    char* fallback = nullptr;
    if (fluid_settings_getstr_default(settings, "synth.default-soundfont", &fallback) == FLUID_OK &&
        fallback != nullptr && *fallback != '\0')
      candidates.emplace_back(fallback);
    delete_fluid_settings(settings);
  }
  candidates.emplace_back("/usr/share/sounds/sf2/default-GM.sf2");
  candidates.emplace_back("/usr/share/sounds/sf2/TimGM6mb.sf2");
  return candidates;
}

std::string FirstReadableFile(const std::vector<std::string>& candidates) {
  for (const std::string& path : candidates)
    if (!path.empty() && access(path.c_str(), R_OK) == 0) return path;
  return {};
}

std::string FindSoundfont() { return FirstReadableFile(SoundfontCandidates()); }

}  // namespace midi
