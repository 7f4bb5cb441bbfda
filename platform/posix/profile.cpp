#include "platform/profile.h"

#include <fstream>
#include <iterator>

#include "platform/posix/profile_ini.h"

namespace torvane::platform {
namespace {

// Configuration files are small; anything past this is not read.
constexpr std::size_t kMaxProfileBytes = 4 * 1024 * 1024;

std::optional<std::string> ReadFileBounded(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string data;
  data.resize(kMaxProfileBytes);
  in.read(data.data(), static_cast<std::streamsize>(data.size()));
  data.resize(static_cast<std::size_t>(in.gcount()));
  return data;
}

// The default loses its trailing spaces, as the platform's reads do.
std::string_view TrimDefault(std::string_view def) {
  while (!def.empty() && def.back() == ' ') def.remove_suffix(1);
  return def;
}

}  // namespace

std::string ProfileString(std::string_view section, std::string_view key,
                          std::string_view fallback, std::size_t size, const std::string& path) {
  if (size == 0) return {};
  fallback = TrimDefault(fallback);
  const auto file = ReadFileBounded(path);
  // Quotes are dropped from whichever text is given, the default included.
  const auto value = file ? ini::FindValue(*file, section, key) : std::nullopt;
  return ini::CopyEntry(value ? std::string_view(*value) : fallback, size);
}

int ProfileInt(std::string_view section, std::string_view key, int fallback,
               const std::string& path) {
  // The platform reads the value into a 30-character buffer first.
  const std::string text = ProfileString(section, key, "", 30, path);
  if (text.empty()) return fallback;
  return ini::ParseProfileInt(text);
}

}  // namespace torvane::platform
