// The POSIX drive map: letter -> directory, from TORVANE_DRIVE_MAP at first
// use and from SetDriveRoot.
#include <array>
#include <cstdlib>
#include <mutex>

#include "platform/codepage.h"
#include "platform/drive_map.h"
#include "platform/utf8.h"

namespace torvane::platform {
namespace {

struct DriveMap {
  std::mutex lock;
  std::array<std::string, 26> roots;

  DriveMap() {
    const char* env = std::getenv("TORVANE_DRIVE_MAP");
    if (!env) return;
    std::string_view rest(env);
    while (!rest.empty()) {
      const auto end = rest.find(';');
      const std::string_view item = rest.substr(0, end);
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
      if (item.size() >= 3 && item[1] == '=') {
        const int i = Index(item[0]);
        if (i >= 0) roots[static_cast<std::size_t>(i)] = std::string(item.substr(2));
      }
    }
  }

  static int Index(char letter) {
    if (letter >= 'a' && letter <= 'z') return letter - 'a';
    if (letter >= 'A' && letter <= 'Z') return letter - 'A';
    return -1;
  }
};

DriveMap& Map() {
  static DriveMap map;
  return map;
}

}  // namespace

bool SetDriveRoot(char letter, const std::string& directory) {
  const int i = DriveMap::Index(letter);
  if (i < 0) return false;
  auto& map = Map();
  std::lock_guard guard(map.lock);
  map.roots[static_cast<std::size_t>(i)] = directory;
  return true;
}

std::optional<std::string> DriveRoot(char letter) {
  const int i = DriveMap::Index(letter);
  if (i < 0) return std::nullopt;
  auto& map = Map();
  std::lock_guard guard(map.lock);
  const std::string& root = map.roots[static_cast<std::size_t>(i)];
  if (root.empty()) return std::nullopt;
  return root;
}

std::string NativePath(std::string_view path) {
  // The system's paths are ANSI (GBK); file names here are UTF-8.
  const std::string utf8 = Utf16ToUtf8(AnsiToUtf16(path));
  if (utf8.size() >= 2 && utf8[1] == ':' && DriveMap::Index(utf8[0]) >= 0) {
    auto root = DriveRoot(utf8[0]);
    if (!root) return {};
    std::string rest = utf8.substr(2);
    for (char& c : rest) {
      if (c == '\\') c = '/';
    }
    while (!rest.empty() && rest.front() == '/') rest.erase(rest.begin());
    std::string out = *root;
    if (!rest.empty()) {
      if (out.empty() || out.back() != '/') out += '/';
      out += rest;
    }
    return out;
  }
  return utf8;
}

}  // namespace torvane::platform
