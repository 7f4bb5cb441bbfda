#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "platform/atom.h"
#include "platform/posix/safe_file.h"
#include "platform/state_dir.h"

namespace torvane::platform {
namespace {

std::filesystem::path AtomPath(const std::string& name) {
  return std::filesystem::path(StateDirectory()) / "atoms" / name;
}

bool Usable(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

}  // namespace

bool GlobalAtomExists(const std::string& name) {
  std::error_code ec;
  return Usable(name) && std::filesystem::exists(AtomPath(name), ec);
}

bool AddGlobalAtom(const std::string& name) {
  if (!Usable(name)) return false;
  CreatePrivateDirectories(AtomPath(name).parent_path().string());
  const int fd = OpenRegularFile(AtomPath(name).string(), O_WRONLY | O_CREAT, 0600);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

void DeleteGlobalAtom(const std::string& name) {
  std::error_code ec;
  if (Usable(name)) std::filesystem::remove(AtomPath(name), ec);
}

}  // namespace torvane::platform
