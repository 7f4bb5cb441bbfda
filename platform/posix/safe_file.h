#pragma once
// POSIX backend only: opening the files the library keeps (stores, journal,
// log, state) so that what another user or program planted under their
// names cannot redirect or stall the library.
#include <sys/types.h>

#include <string>

namespace torvane::platform {

// open() for a regular file: a symbolic link as the last component is not
// followed (O_NOFOLLOW), and a FIFO or device is refused without blocking
// (opened with O_NONBLOCK, checked with fstat, then O_NONBLOCK is cleared).
// O_CLOEXEC is added. Opened for writing, the file must have one name only
// (st_nlink 1). -1 with errno set on failure (ELOOP for a link, EINVAL for
// anything but a regular file, EMLINK for a file with other names).
int OpenRegularFile(const std::string& path, int flags, mode_t mode);

// Creates `dir` and every missing folder above it with mode 0700, so that
// state the library keeps is private to its user. Folders that exist are
// left as they are. False when `dir` is not a folder afterwards.
bool CreatePrivateDirectories(const std::string& dir);

}  // namespace torvane::platform
