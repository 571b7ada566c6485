#include "tests/support/EnvOverride.h"

#include <stdlib.h>

namespace testsupport {

EnvOverride::EnvOverride(const char* name, std::optional<std::string> value) : name_(name) {
  if (const char* old = getenv(name)) old_ = old;
  if (value)
    setenv(name, value->c_str(), 1);
  else
    unsetenv(name);
}

EnvOverride::~EnvOverride() {
  if (old_)
    setenv(name_.c_str(), old_->c_str(), 1);
  else
    unsetenv(name_.c_str());
}

}  // namespace testsupport
