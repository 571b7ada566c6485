#include "files/ProgramFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>

#ifndef TUNWICK_DATA_DIR
#define TUNWICK_DATA_DIR "/usr/local/share/tunwick"
#endif

namespace {

std::string FolderPart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string WithSeparator(const std::string& folder) {
  if (folder.empty() || folder.back() == '/') return folder;
  return folder + '/';
}

// The process's first argument as it was started, without relying on main() to hand it on.
std::string FirstArgument() {
  std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
  std::string argv0;
  std::getline(cmdline, argv0, '\0');
  return argv0;
}

}  // namespace

std::string ExecutableFolder() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  path[length] = '\0';
  return FolderPart(path);
}

std::string ProgramFolderOf(const std::string& argv0) {
  const std::string folder = FolderPart(argv0);
  return folder.empty() ? ExecutableFolder() : folder;
}

std::string ProgramFolder() { return ProgramFolderOf(FirstArgument()); }

bool IsSystemProgramFolder(const std::string& folder) {
  static const char* const kSystemFolders[] = {
      "/bin/",           "/sbin/",           "/usr/bin/",   "/usr/sbin/",
      "/usr/local/bin/", "/usr/local/sbin/", "/usr/games/", "/usr/local/games/"};
  char resolved[PATH_MAX];
  const std::string real = ::realpath(folder.c_str(), resolved) != nullptr ? WithSeparator(resolved)
                                                                           : WithSeparator(folder);
  for (const char* system : kSystemFolders)
    if (real == system || WithSeparator(folder) == system) return true;
  return false;
}

std::string UserDataFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') return WithSeparator(dataHome) + "tunwick/";
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return {};
  return WithSeparator(home) + ".local/share/tunwick/";
}

std::vector<std::string> DataFoldersOf(const std::string& programFolder,
                                       const std::string& configuredFolder) {
  std::vector<std::string> folders;
  if (!programFolder.empty()) {
    const std::string program = WithSeparator(programFolder);
    folders.push_back(program);
    folders.push_back(program + "../share/tunwick/");
  }
  if (!configuredFolder.empty()) folders.push_back(WithSeparator(configuredFolder));
  return folders;
}

std::vector<std::string> DataFolders() {
  return DataFoldersOf(ExecutableFolder(), TUNWICK_DATA_DIR);
}

std::string FindData(const std::string& name, const std::vector<std::string>& folders,
                     DataKind kind) {
  if (name.empty()) return {};
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    const std::string path = WithSeparator(folder) + name;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) continue;
    const bool found = kind == DataKind::kFolder
                           ? S_ISDIR(info.st_mode)
                           : !S_ISDIR(info.st_mode) && ::access(path.c_str(), R_OK) == 0;
    if (found) return path;
  }
  return {};
}
