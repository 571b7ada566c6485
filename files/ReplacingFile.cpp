#include "files/ReplacingFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file a path names once symbolic links are followed, also when the last link points to
// a file that does not exist yet. A path that is no link comes back as it is.
std::string FollowLinks(const std::string& path) {
  std::string target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return target;
    char resolved[PATH_MAX];
    if (::realpath(target.c_str(), resolved) != nullptr) return resolved;
    // A dangling link: take one step along it and look again.
    char next[PATH_MAX];
    const ssize_t length = ::readlink(target.c_str(), next, sizeof next - 1);
    if (length <= 0) return target;
    next[length] = '\0';
    target = next[0] == '/' ? std::string(next) : FolderOf(target) + next;
  }
  return target;
}

}  // namespace

CReplacingFile::~CReplacingFile() { Discard(); }

void CReplacingFile::Fail(int errorNumber) { error_ = std::strerror(errorNumber); }

bool CReplacingFile::Open(const std::string& path) {
  Discard();
  target_ = FollowLinks(path);

  mode_ = NewFileMode();
  struct stat info {};
  if (::stat(target_.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) {
      Fail(EISDIR);
      return false;
    }
    mode_ = info.st_mode & 07777;
  }

  const std::string folder = FolderOf(target_);
  temp_ = (folder.empty() ? "./" : folder) + "." + target_.substr(folder.size()) + ".XXXXXX";
  fd_ = ::mkstemp(temp_.data());
  if (fd_ < 0) {
    Fail(errno);
    temp_.clear();
    return false;
  }
  return true;
}

bool CReplacingFile::Write(const char* bytes, std::size_t size) {
  if (fd_ < 0) return false;
  while (size > 0) {
    const ssize_t written = ::write(fd_, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
      return false;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool CReplacingFile::Commit(Sync sync) {
  if (fd_ < 0) return false;
  int error = 0;
  if (::fchmod(fd_, mode_) != 0) error = errno;
  if (!error && sync == Sync::kToDisk && ::fsync(fd_) != 0) error = errno;
  if (::close(fd_) != 0 && !error) error = errno;
  fd_ = -1;
  if (!error && ::rename(temp_.c_str(), target_.c_str()) != 0) error = errno;
  if (error) {
    Fail(error);
    ::unlink(temp_.c_str());
    temp_.clear();
    return false;
  }
  temp_.clear();
  return true;
}

void CReplacingFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

FileWriteResult WriteFileReplacing(const std::string& path, const std::string& bytes) {
  CReplacingFile file;
  FileWriteResult result;
  if (!file.Open(path) || !file.Write(bytes.data(), bytes.size()) || !file.Commit()) {
    result.ok = false;
    result.systemError = file.Error();
  }
  return result;
}
