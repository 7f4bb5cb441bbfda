#pragma once
// The full path of a change entry: the watched directory, a backslash unless
// it already ends in one (or is empty), then the entry's name in the ANSI
// code page. Names are limited to 260 UTF-16 units and 260 ANSI bytes; a
// longer one is cut at the last whole character that fits.
#include <cstddef>
#include <string>
#include <string_view>

namespace torvane::filewatch {

inline constexpr std::size_t kMaxNameUnits = 260;
inline constexpr std::size_t kMaxNameBytes = 260;

std::string FullPath(std::string_view directory, std::u16string_view name);

}  // namespace torvane::filewatch
