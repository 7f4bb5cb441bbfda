#include <cstdlib>

#include "platform/environment.h"

namespace torvane::platform {

bool SetEnvironment(const std::string& name, const std::string& value) {
  return value.empty() ? ::unsetenv(name.c_str()) == 0 : ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

}  // namespace torvane::platform
