#pragma once

#include <cstddef>
#include <string>

// A file written without ever destroying the one it replaces: the bytes go to a new file in
// the same folder, which takes the old one's place in one rename when committed. An existing
// file's permissions are kept. A symbolic link is followed: the file it names is replaced (or
// created) and the link stays. Score texts, MIDI files, WAV files and the side files are all
// written this way.
class CReplacingFile {
 public:
  CReplacingFile() = default;
  ~CReplacingFile();  // discards what was not committed
  CReplacingFile(const CReplacingFile&) = delete;
  CReplacingFile& operator=(const CReplacingFile&) = delete;

  // Creates the temporary file for `path`; false with error() set.
  bool Open(const std::string& path);
  // The temporary file's descriptor while open.
  int Fd() const { return fd_; }
  // Writes all of `bytes` to the temporary file; false with error() set.
  bool Write(const char* bytes, std::size_t size);
  // Whether Commit waits for the bytes to reach the disk before the rename. Files made anew
  // from other data at every parse (the side files) need not wait; the user's files do.
  enum class Sync { kToDisk, kNone };
  // Syncs, closes and renames over the target; false with error() set, the old file kept.
  bool Commit(Sync sync = Sync::kToDisk);
  // Closes and removes the temporary file.
  void Discard();

  // The system's reason for the last failure.
  const std::string& Error() const { return error_; }
  // Records a failure of the caller's own writing (errno value).
  void Fail(int errorNumber);

 private:
  int fd_ = -1;
  std::string temp_;
  std::string target_;
  unsigned mode_ = 0;
  std::string error_;
};

struct FileWriteResult {
  bool ok = true;
  std::string systemError;
};

// Writes `bytes` to `path` whole or not at all, through a CReplacingFile.
FileWriteResult WriteFileReplacing(const std::string& path, const std::string& bytes);
