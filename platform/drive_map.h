#pragma once
// Drive letters on POSIX. A drive root such as "e:\" names a directory of
// this machine, so that paths and event texts read exactly as on Windows.
// The map starts from TORVANE_DRIVE_MAP ("e=/media/usb0;f=/tmp/x") and can be
// changed at run time. On Windows the letters are the system's own, and
// SetDriveRoot defines (or removes) a letter for a folder, as subst does.
#include <optional>
#include <string>
#include <string_view>

namespace torvane::platform {

// Maps `letter` (either case) to `directory`; an empty directory removes the
// mapping. Returns false when the letter or directory is unusable.
bool SetDriveRoot(char letter, const std::string& directory);

// The directory a letter maps to, if any (POSIX); on Windows the letter
// itself with ":\" when the drive exists.
std::optional<std::string> DriveRoot(char letter);

// POSIX: a path of the system's form ("e:\dir\name", ANSI code page) as a
// native path; a path without a drive letter is taken as native already.
// Windows: the path unchanged. Empty when a drive letter is not mapped.
std::string NativePath(std::string_view path);

}  // namespace torvane::platform
