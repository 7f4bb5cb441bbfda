#include "tools/host/config_origin.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace torvane::host {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// GBK: a byte below 0x80, or a lead byte 0x81-0xFE and a trail byte
// 0x40-0xFE other than 0x7F.
bool IsGbk(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) continue;
    if (b == 0x80 || b == 0xFF || i + 1 >= s.size()) return false;
    const auto t = static_cast<unsigned char>(s[++i]);
    if (t < 0x40 || t == 0x7F || t == 0xFF) return false;
  }
  return true;
}

// Well-formed UTF-8 with at least one character beyond ASCII.
bool LooksUtf8(std::string_view s) {
  bool wide = false;
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    if (b < 0x80) n = 1;
    else if (b >= 0xC2 && b <= 0xDF) n = 2;
    else if (b >= 0xE0 && b <= 0xEF) n = 3;
    else if (b >= 0xF0 && b <= 0xF4) n = 4;
    else return false;
    if (i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    wide = wide || n > 1;
    i += n;
  }
  return wide;
}

}  // namespace

FileOrigin LocateFile(const std::string& directory, const char* name) {
  FileOrigin origin;
  origin.path = directory + name;
  std::error_code ec;
  // As the library's readers take it: a regular file, not a link to one.
  const auto status = std::filesystem::symlink_status(origin.path, ec);
  origin.found = !ec && std::filesystem::is_regular_file(status);
  origin.planted = !ec && std::filesystem::exists(status) && !origin.found;
  // The name as it is in the folder, when it is not the suite's (a
  // case-blind file system finds it anyway, a case-keeping one does not).
  for (std::filesystem::directory_iterator it(directory.empty() ? "." : directory, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string entry = it->path().filename().string();
    if (entry != name && SameIgnoringCase(entry, name)) {
      origin.otherName = entry;
      break;
    }
  }
  return origin;
}

std::string ReadConfigFile(const std::string& path) {
  constexpr std::size_t kMost = 4u << 20;
  std::ifstream in(path, std::ios::binary);
  std::string bytes;
  char buf[4096];
  while (in && bytes.size() < kMost) {
    in.read(buf, sizeof buf);
    bytes.append(buf, static_cast<std::size_t>(in.gcount()));
  }
  return bytes;
}

bool StartsWithUtf8Bom(const std::string& file) { return file.rfind("\xEF\xBB\xBF", 0) == 0; }

KeyOrigin LocateKey(const std::string& file, const char* section, const char* key) {
  KeyOrigin origin;
  std::string_view rest(file);
  bool inSection = false;
  bool seenSection = false;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = Trim(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.front() == '[') {
      const std::size_t close = line.find(']');
      const std::string_view name = Trim(line.substr(1, close == std::string_view::npos ? line.size() : close - 1));
      if (inSection) break;  // only the first section of the name is read
      inSection = !seenSection && SameIgnoringCase(name, section);
      if (inSection) {
        seenSection = true;
        origin.writtenSection = std::string(name);
      }
      continue;
    }
    if (!inSection) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view name = Trim(line.substr(0, eq));
    if (SameIgnoringCase(name, key)) {
      origin.present = true;
      origin.writtenKey = std::string(name);
      break;
    }
  }
  return origin;
}

std::optional<std::string> EncodingNote(const std::string& value) {
  if (LooksUtf8(value)) return std::string("not GBK text: its bytes are UTF-8 (saved as UTF-8?); the suite's files are GBK");
  if (!IsGbk(value)) return std::string("not valid GBK text");
  return std::nullopt;
}

}  // namespace torvane::host
