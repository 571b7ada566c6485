#pragma once

#include <string>

namespace testsupport {

// The whole content of a file, or "<missing>" when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Creates or empties the file and writes `bytes`; false when it cannot.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// A golden file: the stored expectation tests/golden/`name`, compared byte for byte with what
// the code writes.
std::string GoldenFile(const std::string& name);

}  // namespace testsupport
