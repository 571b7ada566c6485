#include "app/ReplacingFile.h"

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

}  // namespace

CReplacingFile::~CReplacingFile() { Discard(); }

void CReplacingFile::Fail(int errorNumber) { error_ = std::strerror(errorNumber); }

bool CReplacingFile::Open(const std::string& path) {
  Discard();
  target_ = path;
  struct stat linkInfo {};
  if (::lstat(path.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) target_ = resolved;
  }

  mode_ = NewFileMode();
  struct stat info {};
  if (::stat(target_.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) {
      Fail(EISDIR);
      return false;
    }
    mode_ = info.st_mode & 07777;
  }

  const std::size_t slash = target_.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target_.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  temp_ = folder + (folder.back() == '/' ? "" : "/") + "." + name + ".XXXXXX";
  fd_ = ::mkstemp(temp_.data());
  if (fd_ < 0) {
    Fail(errno);
    temp_.clear();
    return false;
  }
  return true;
}

bool CReplacingFile::Commit() {
  if (fd_ < 0) return false;
  int error = 0;
  if (::fchmod(fd_, mode_) != 0) error = errno;
  if (!error && ::fsync(fd_) != 0) error = errno;
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
