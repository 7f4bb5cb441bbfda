#pragma once
// The drives the system has, as GetLogicalDriveStringsA lists them: each
// root ("C:\") ended by a NUL, the list ended by one more. POSIX: the drives
// of the drive map (platform/drive_map.h) whose folder exists, in letter
// order.
#include <string>

namespace torvane::platform {

std::string LogicalDriveStrings();

}  // namespace torvane::platform
