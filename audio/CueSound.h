#pragma once

#include <string>
#include <vector>

namespace audio {

// The folders a cue file named without a folder is looked up in, in order: the current
// folder, then the installed data folders (DataFolders in files/ProgramFolder.h: the program's
// own folder, the data folder of the prefix the program lies in, the configured one).
std::vector<std::string> CueSearchFolders();

// The first existing file called name in folders; a name with a folder is taken as it is.
// "" when there is none.
std::string FindCueFile(const std::string& name, const std::vector<std::string>& folders);

// Decodes a sound file into interleaved stereo at sampleRate (mono is doubled, further
// channels dropped, other rates resampled). False, with error set, when it cannot be read.
bool LoadCueFile(const std::string& path, int sampleRate, std::vector<float>& stereoSamples,
                 std::string& error);

// The cue played when the named file is missing or unreadable: a short soft two-tone beep.
std::vector<float> DefaultCue(int sampleRate);

// The named cue looked up and decoded, or the default cue.
std::vector<float> LoadCueOrDefault(const std::string& name, int sampleRate);

// The cue decoded last, kept for every time it plays: a file is read once per name and rate,
// never again on the player's thread.
class CCueCache {
 public:
  // The named cue (or the default) as interleaved stereo at sampleRate.
  const std::vector<float>& Samples(const std::string& name, int sampleRate);
  // Whole milliseconds that hold every frame of the named cue at sampleRate.
  int32_t LengthMs(const std::string& name, int sampleRate);

 private:
  bool loaded_ = false;
  std::string name_;
  int rate_ = 0;
  std::vector<float> samples_;
};

}  // namespace audio
