#pragma once
// Where the host process's executable lives.
#include <string>

namespace torvane::platform {

// The directory of the host process's main executable (not of this library),
// with its trailing separator; empty when the path cannot be had in full.
// POSIX: TORVANE_HOST_DIR, when set, names it instead.
std::string ExecutableDirectory();

// The separator that ends a directory path on this platform.
inline constexpr char kPathSeparator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

}  // namespace torvane::platform
