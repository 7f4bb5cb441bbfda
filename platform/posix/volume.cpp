#include <sys/stat.h>

#include "platform/drive_map.h"
#include "platform/volume.h"

namespace torvane::platform {

bool DismountVolume(char letter) { return DriveRoot(letter).has_value(); }

bool VolumeAnswers(char letter) {
  const auto root = DriveRoot(letter);
  struct stat st {};
  return root && ::stat(root->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace torvane::platform
