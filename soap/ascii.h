#pragma once
// Case-insensitive ASCII comparison for protocol names (schemes, header
// names, tokens). Independent of the C locale the host may have set.
#include <string_view>

namespace torvane::soap {

constexpr char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace torvane::soap
