#include "tests/support/TempFolder.h"

#include <stdlib.h>

#include <filesystem>

#include "tests/support/FileBytes.h"

namespace testsupport {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "tunwick-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempFolder::~TempFolder() {
  if (path_.empty()) return;
  // Folders are opened up from the top down, so that every one can be emptied.
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (auto it = fs::recursive_directory_iterator(
           path_, fs::directory_options::skip_permission_denied, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

std::string TempFolder::File(const std::string& name) const { return path_ + "/" + name; }

std::string TempFolder::Write(const std::string& name, const std::string& bytes) const {
  WriteFileBytes(File(name), bytes);
  return File(name);
}

std::string TempFolder::Read(const std::string& name) const { return ReadFileBytes(File(name)); }

}  // namespace testsupport
