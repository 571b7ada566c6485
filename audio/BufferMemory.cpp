#include "audio/BufferMemory.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "files/ProgramFolder.h"
#include "files/ReplacingFile.h"

namespace audio {

std::string BufferMemoryPath() {
  const std::string folder = UserDataFolder();
  return folder.empty() ? std::string() : folder + "sound-buffer";
}

int64_t RecalledBufferFrames(const std::string& path, int64_t least, int64_t most,
                             int64_t nowSeconds) {
  struct stat status {};
  if (path.empty() || ::stat(path.c_str(), &status) != 0 ||
      nowSeconds - static_cast<int64_t>(status.st_mtime) > kBufferMemorySeconds)
    return 0;
  std::ifstream in(path);
  long long frames = 0;
  std::string rest;
  if (!(in >> frames) || (in >> rest) || frames < least || frames > most) return 0;
  return frames;
}

bool RememberBufferFrames(const std::string& path, int64_t frames) {
  if (path.empty()) return false;
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  return WriteFileReplacing(path, std::to_string(frames) + "\n").ok;
}

}  // namespace audio
