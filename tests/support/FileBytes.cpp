#include "tests/support/FileBytes.h"

#include <fstream>
#include <iterator>

#ifndef TUNWICK_GOLDEN_DIR
#error "TUNWICK_GOLDEN_DIR must name tests/golden"
#endif

namespace testsupport {

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  return static_cast<bool>(out);
}

std::string GoldenFile(const std::string& name) {
  return ReadFileBytes(std::string(TUNWICK_GOLDEN_DIR) + "/" + name);
}

}  // namespace testsupport
