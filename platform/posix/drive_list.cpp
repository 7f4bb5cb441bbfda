#include <sys/stat.h>

#include "platform/drive_list.h"
#include "platform/drive_map.h"

namespace torvane::platform {

// A mapped letter counts as present while its folder exists: the folder is
// the disk's mount point, and a pulled disk's mount point goes away.
std::string LogicalDriveStrings() {
  std::string list;
  for (char c = 'A'; c <= 'Z'; ++c) {
    const auto root = DriveRoot(c);
    struct stat st {};
    if (root && ::stat(root->c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      list += c;
      list += ":\\";
      list += '\0';
    }
  }
  list += '\0';
  return list;
}

}  // namespace torvane::platform
