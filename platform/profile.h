#pragma once
// Private profile (INI) reads with the Windows profile functions' semantics:
// sections and keys match without regard to case, the first matching section
// and key win, a value quoted with matching ' or " loses its quotes, and a
// missing file, section or key gives the default.
#include <cstddef>
#include <string>
#include <string_view>

namespace torvane::platform {

// What GetPrivateProfileStringA leaves in a buffer of `size` bytes (at most
// size - 1 bytes of text). A path without a directory is resolved as the
// platform does (Windows directory there, current directory on POSIX).
std::string ProfileString(std::string_view section, std::string_view key,
                          std::string_view fallback, std::size_t size,
                          const std::string& path);

// What GetPrivateProfileIntA returns.
int ProfileInt(std::string_view section, std::string_view key, int fallback,
               const std::string& path);

}  // namespace torvane::platform
