#pragma once
// Files the library keeps are opened only as regular files; what another
// user or program planted under their names (a link, a FIFO, a folder) is
// refused, and this says so in the operation log.
#include <string>

namespace torvane::report {

// True, having logged "Error:<what> refused, not a regular file: <path>",
// when something other than a regular file sits under path.
bool RefusePlanted(const char* what, const std::string& path);

}  // namespace torvane::report
