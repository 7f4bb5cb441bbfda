#pragma once
// Where the host process's executable lives.
#include <string>
#include <string_view>

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

// A path that names one file whatever the current directory and the search
// rules: "X:\..." or "\\server\..." on Windows, "/..." on POSIX. Libraries and
// programs are only ever started from such paths.
inline bool IsFullPath(std::string_view path) {
#ifdef _WIN32
  const auto slash = [](char c) { return c == '\\' || c == '/'; };
  if (path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
      path[1] == ':' && slash(path[2]))
    return true;
  return path.size() >= 3 && slash(path[0]) && slash(path[1]) && !slash(path[2]);
#else
  return !path.empty() && path[0] == '/';
#endif
}

}  // namespace torvane::platform
