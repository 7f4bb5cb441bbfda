#include "platform/drive_list.h"
#include "platform/drive_map.h"

namespace torvane::platform {

std::string LogicalDriveStrings() {
  std::string list;
  for (char c = 'A'; c <= 'Z'; ++c) {
    if (DriveRoot(c)) {
      list += c;
      list += ":\\";
      list += '\0';
    }
  }
  list += '\0';
  return list;
}

}  // namespace torvane::platform
