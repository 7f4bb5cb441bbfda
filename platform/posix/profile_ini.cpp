#include "platform/posix/profile_ini.h"

#include <cstdint>

namespace torvane::platform::ini {
namespace {

bool IsBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1a; }
bool IsLead(unsigned char c) { return c >= 0x81 && c <= 0xfe; }
unsigned char Upper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && IsBlank(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Upper(static_cast<unsigned char>(a[i])) != Upper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// Offset of the first `c` in `s` that is a whole character, or npos.
std::size_t FindChar(std::string_view s, char c) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (s[i] == c) return i;
    if (IsLead(b)) ++i;
  }
  return std::string_view::npos;
}

// Offset of the last `c` in `s` that is a whole character, or npos.
std::size_t FindLastChar(std::string_view s, char c) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (s[i] == c) found = i;
    if (IsLead(b)) ++i;
  }
  return found;
}

// Length of the longest prefix of `s` no longer than `limit` bytes that ends
// on a character boundary.
std::size_t CutAtCharacter(std::string_view s, std::size_t limit) {
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t step =
        (IsLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
    if (i + step > limit) break;
    i += step;
  }
  return i;
}

}  // namespace

std::optional<std::string> FindValue(std::string_view file, std::string_view section,
                                     std::string_view key) {
  section = Trim(section);
  key = Trim(key);
  // Lines before any section header belong to a section with an empty name.
  bool in_match = section.empty();
  bool seen_match = in_match;
  std::size_t pos = 0;
  while (pos < file.size()) {
    std::size_t end = pos;
    while (end < file.size() && file[end] != '\n' && file[end] != '\r') ++end;
    std::string_view line = Trim(file.substr(pos, end - pos));
    pos = end;
    while (pos < file.size() && (file[pos] == '\n' || file[pos] == '\r')) ++pos;
    if (line.empty()) continue;

    if (line.front() == '[') {
      const std::size_t close = FindLastChar(line, ']');
      if (close != std::string_view::npos && close > 0) {
        if (in_match) return std::nullopt;  // only the first such section counts
        if (!seen_match && SameName(line.substr(1, close - 1), section)) {
          in_match = seen_match = true;
        }
        continue;
      }
      // A '[' line without a closing bracket is read as a key line.
    }
    if (!in_match) continue;

    const std::size_t eq = FindChar(line, '=');
    const std::string_view name = Trim(line.substr(0, eq));
    if (!SameName(name, key)) continue;
    if (eq == std::string_view::npos) return std::nullopt;  // key without a value
    return std::string(Trim(line.substr(eq + 1)));
  }
  return std::nullopt;
}

std::string CopyEntry(std::string_view value, std::size_t size) {
  if (size == 0) return {};
  bool quoted = false;
  if (!value.empty() && (value.front() == '\'' || value.front() == '"') && value.size() > 1 &&
      value.back() == value.front()) {
    quoted = true;
    value.remove_prefix(1);
  }
  const std::size_t limit = size - 1;
  std::string out(value.substr(0, CutAtCharacter(value, limit)));
  // The closing quote goes only when the whole value fitted the buffer.
  if (quoted && size >= value.size() && !out.empty()) out.pop_back();
  return out;
}

int ParseProfileInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
  bool minus = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) minus = text[i++] == '-';
  unsigned base = 10;
  if (i + 1 < text.size() && text[i] == '0') {
    const char p = text[i + 1];
    if (p == 'b') base = 2;
    if (p == 'o') base = 8;
    if (p == 'x') base = 16;
    if (base != 10) i += 2;
  }
  std::uint32_t total = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    unsigned digit = 99;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'Z') digit = static_cast<unsigned>(c - 'A' + 10);
    if (c >= 'a' && c <= 'z') digit = static_cast<unsigned>(c - 'a' + 10);
    if (digit >= base) break;
    total = total * base + digit;  // unsigned: wraps as the platform does
  }
  if (minus) total = 0u - total;
  return static_cast<int>(total);
}

}  // namespace torvane::platform::ini
