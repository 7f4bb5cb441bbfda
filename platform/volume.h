#pragma once
// Asks the file system of drive `letter` to dismount its volume. True when
// the volume device could be opened (the dismount's own result is not
// looked at). Windows: "\\.\e:" opened for reading and writing without
// sharing, FSCTL_DISMOUNT_VOLUME. POSIX: nothing is unmounted; true when the
// letter is in the drive map.
namespace torvane::platform {

bool DismountVolume(char letter);

// True when drive `letter` holds a volume that answers now: its root is a
// folder that can be looked at. Windows: with the system's "insert a disk"
// boxes off for the calling thread (a drive without its medium answers no).
// POSIX: the letter's mapped folder exists as a folder.
bool VolumeAnswers(char letter);

}  // namespace torvane::platform
