#pragma once

#include <optional>
#include <string>

namespace testsupport {

// Sets (or, with nullopt, unsets) an environment variable for the life of the object, then
// puts the old value back.
class EnvOverride {
 public:
  EnvOverride(const char* name, std::optional<std::string> value);
  ~EnvOverride();
  EnvOverride(const EnvOverride&) = delete;
  EnvOverride& operator=(const EnvOverride&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace testsupport
