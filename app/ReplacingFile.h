#pragma once

#include <string>

// A file written without ever destroying the one it replaces: the bytes go to a new file in
// the same folder, which replaces the old one in one rename when committed. An existing
// file's permissions are kept; a symbolic link is followed and its target replaced.
class CReplacingFile {
 public:
  CReplacingFile() = default;
  ~CReplacingFile();  // discards what was not committed
  CReplacingFile(const CReplacingFile&) = delete;
  CReplacingFile& operator=(const CReplacingFile&) = delete;

  // Creates the temporary file for `path`; false with error() set.
  bool Open(const std::string& path);
  // The temporary file's descriptor while open.
  int fd() const { return fd_; }
  // Syncs, closes and renames over the target; false with error() set, the old file kept.
  bool Commit();
  // Closes and removes the temporary file.
  void Discard();

  // The system's reason for the last failure.
  const std::string& error() const { return error_; }
  // Records a failure of the caller's own writing (errno value).
  void Fail(int errorNumber);

 private:
  int fd_ = -1;
  std::string temp_;
  std::string target_;
  unsigned mode_ = 0;
  std::string error_;
};
