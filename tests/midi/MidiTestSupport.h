#pragma once

// Helpers shared by the MIDI output tests: environment overrides, scratch folders, WAV files
// and the question whether this machine has any audio output.

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace miditest {

// Sets (or, with nullopt, unsets) an environment variable for the life of the object.
class EnvOverride {
 public:
  EnvOverride(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
  ~EnvOverride() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// A fresh folder under the system's temporary folder, removed with its content at the end.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tunwick-midi-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Writes 16-bit PCM samples (interleaved when channels > 1) as a WAV file.
inline bool WriteWav(const std::string& path, int rate, int channels,
                     const std::vector<int16_t>& samples) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  auto put = [f](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) std::fputc(static_cast<int>((value >> (8 * i)) & 0xFF), f);
  };
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::fputs("RIFF", f);
  put(36 + dataBytes, 4);
  std::fputs("WAVEfmt ", f);
  put(16, 4);
  put(1, 2);
  put(static_cast<uint32_t>(channels), 2);
  put(static_cast<uint32_t>(rate), 4);
  put(static_cast<uint32_t>(rate * channels * 2), 4);
  put(static_cast<uint32_t>(channels * 2), 2);
  put(16, 2);
  std::fputs("data", f);
  put(dataBytes, 4);
  for (int16_t s : samples) put(static_cast<uint16_t>(s), 2);
  return std::fclose(f) == 0;
}

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
