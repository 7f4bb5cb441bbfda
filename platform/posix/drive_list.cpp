#include "platform/drive_list.h"
#include "platform/volume.h"

namespace torvane::platform {

// A mapped letter counts as present while its folder exists: the folder is
// the disk's mount point, and a pulled disk's mount point goes away.
std::string LogicalDriveStrings() {
  std::string list;
  for (char c = 'A'; c <= 'Z'; ++c) {
    if (VolumeAnswers(c)) {
      list += c;
      list += ":\\";
      list += '\0';
    }
  }
  list += '\0';
  return list;
}

}  // namespace torvane::platform
