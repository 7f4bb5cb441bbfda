#include <cstdlib>

#include "platform/environment.h"

namespace torvane::platform {

// The C runtime's copy, which getenv reads (the library reads it so too).
bool SetEnvironment(const std::string& name, const std::string& value) {
  return ::_putenv((name + "=" + value).c_str()) == 0;
}

}  // namespace torvane::platform
