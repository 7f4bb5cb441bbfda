#pragma once
// The process's environment, which a library loaded later reads too.
#include <string>

namespace torvane::platform {

// Sets (or, with an empty value, removes) variable `name`; false on failure.
bool SetEnvironment(const std::string& name, const std::string& value);

}  // namespace torvane::platform
