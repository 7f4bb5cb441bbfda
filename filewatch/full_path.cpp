#include "filewatch/full_path.h"

#include "platform/codepage.h"

namespace torvane::filewatch {
namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// Shortens `n` by one unit if that would split a surrogate pair.
std::size_t WholeCharacters(std::u16string_view name, std::size_t n) {
  if (n > 0 && n < name.size() && IsHighSurrogate(name[n - 1])) return n - 1;
  return n;
}

std::string Name(std::u16string_view name) {
  const std::size_t units = WholeCharacters(name, name.size() < kMaxNameUnits ? name.size() : kMaxNameUnits);
  std::string ansi = platform::Utf16ToAnsi(name.substr(0, units));
  if (ansi.size() <= kMaxNameBytes) return ansi;
  // Too long in the code page (double-byte characters): keep whole
  // characters while they fit. The code pages are stateless, so a text's
  // length is the sum of its characters' lengths.
  std::string out;
  for (std::size_t i = 0; i < units;) {
    const std::size_t len = IsHighSurrogate(name[i]) && i + 1 < units ? 2 : 1;
    const std::string ch = platform::Utf16ToAnsi(name.substr(i, len));
    if (out.size() + ch.size() > kMaxNameBytes) break;
    out += ch;
    i += len;
  }
  return out;
}

}  // namespace

std::string FullPath(std::string_view directory, std::u16string_view name) {
  std::string out(directory);
  if (!out.empty() && out.back() != '\\') out += '\\';
  out += Name(name);
  return out;
}

}  // namespace torvane::filewatch
