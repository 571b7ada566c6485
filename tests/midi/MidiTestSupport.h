#pragma once

// What only the MIDI output tests ask: whether this machine has any audio output or an ALSA
// sequencer. Folders, environment overrides and WAV files come from tests/support.

#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace miditest {

// Whether a sound card or a sound server is reachable; tests that need one skip without.
inline bool HasAudioOutput() {
  if (access("/dev/snd", F_OK) == 0) return true;
  if (getenv("PULSE_SERVER") != nullptr) return true;
  if (const char* runtime = getenv("XDG_RUNTIME_DIR")) {
    const std::string dir(runtime);
    if (access((dir + "/pulse/native").c_str(), F_OK) == 0) return true;
    if (access((dir + "/pipewire-0").c_str(), F_OK) == 0) return true;
  }
  return false;
}

inline bool HasSequencer() { return access("/dev/snd/seq", F_OK) == 0; }

inline bool FileExists(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

}  // namespace miditest
