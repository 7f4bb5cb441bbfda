#include "config/host_directory.h"

#include <mutex>

#include "platform/host_dir.h"

namespace torvane::config {
namespace {

std::mutex& OverrideLock() {
  static std::mutex m;
  return m;
}
std::optional<std::string>& Override() {
  static std::optional<std::string> dir;
  return dir;
}

}  // namespace

std::string HostDirectory() {
  {
    std::lock_guard lock(OverrideLock());
    if (Override()) return *Override();
  }
  return platform::ExecutableDirectory();
}

void SetHostDirectoryOverride(std::optional<std::string> dir) {
  std::lock_guard lock(OverrideLock());
  Override() = std::move(dir);
}

}  // namespace torvane::config
