#include "platform/drive_map.h"
#include "platform/volume.h"

namespace torvane::platform {

bool DismountVolume(char letter) { return DriveRoot(letter).has_value(); }

}  // namespace torvane::platform
