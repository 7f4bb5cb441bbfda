#pragma once
// Files the library keeps are opened only as regular files, and written only
// when they have no other name; what another user or program planted under
// their names (a link, a FIFO, a folder, a hard link to some other file) is
// refused, and this says so in the operation log.
#include <string>

namespace torvane::report {

// True, having logged "Error:<what> refused, not a regular file: <path>"
// or "Error:<what> refused, more than one link: <path>", when something
// other than a regular file with one name sits under path.
bool RefusePlanted(const char* what, const std::string& path);

}  // namespace torvane::report
