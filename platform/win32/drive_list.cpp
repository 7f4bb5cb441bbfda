#include <windows.h>

#include "platform/drive_list.h"

namespace torvane::platform {

std::string LogicalDriveStrings() {
  char buf[260] = {};
  const DWORD n = ::GetLogicalDriveStringsA(sizeof buf, buf);
  if (n == 0 || n >= sizeof buf) return {};
  return std::string(buf, n + 1);  // with the list's closing NUL
}

}  // namespace torvane::platform
