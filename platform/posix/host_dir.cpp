#include "platform/host_dir.h"

#include <unistd.h>

#include <array>
#include <cstdlib>

namespace torvane::platform {

// TORVANE_HOST_DIR, when set, stands for the host's folder: the reference
// host sets it for the library it loads from another folder (`run --dir`).
std::string ExecutableDirectory() {
  if (const char* dir = std::getenv("TORVANE_HOST_DIR"); dir && *dir) {
    std::string d(dir);
    if (d.back() != '/') d += '/';
    return d;
  }
  std::array<char, 4096> buf{};
  const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return {};
  const std::string path(buf.data(), static_cast<std::size_t>(n));
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return path.substr(0, slash + 1);
}

}  // namespace torvane::platform
