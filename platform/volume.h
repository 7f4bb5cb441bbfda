#pragma once
// Asks the file system of drive `letter` to dismount its volume. True when
// the volume device could be opened (the dismount's own result is not
// looked at). Windows: "\\.\e:" opened for reading and writing without
// sharing, FSCTL_DISMOUNT_VOLUME. POSIX: nothing is unmounted; true when the
// letter is in the drive map.
namespace torvane::platform {

bool DismountVolume(char letter);

}  // namespace torvane::platform
