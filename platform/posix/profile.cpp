#include "platform/profile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "platform/posix/profile_ini.h"
#include "platform/posix/safe_file.h"

namespace torvane::platform {
namespace {

// Configuration files are small; anything past this is not read.
constexpr std::size_t kMaxProfileBytes = 4 * 1024 * 1024;

// A regular file only: a planted link is not followed and a FIFO is not
// waited on, so a configuration read never stalls the scan pass. What the
// file holds is read a chunk at a time, up to the bound, so a small file
// costs a small buffer.
std::optional<std::string> ReadFileBounded(const std::string& path) {
  struct Descriptor {
    int fd;
    ~Descriptor() {
      if (fd >= 0) ::close(fd);
    }
  } file{OpenRegularFile(path, O_RDONLY, 0)};
  if (file.fd < 0) return std::nullopt;
  std::string data;
  std::array<char, 4096> chunk;
  while (data.size() < kMaxProfileBytes) {
    const std::size_t want = std::min(chunk.size(), kMaxProfileBytes - data.size());
    const ssize_t n = ::read(file.fd, chunk.data(), want);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    data.append(chunk.data(), static_cast<std::size_t>(n));
  }
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
