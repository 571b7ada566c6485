#pragma once

#include <string>

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with everything in it (folders
// a test made unwritable included) when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // The path of `name` inside the folder.
  std::string File(const std::string& name) const;
  // Writes `bytes` to the file `name` inside the folder and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const;
  // The bytes of the file `name` inside the folder, or "<missing>".
  std::string Read(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace testsupport
