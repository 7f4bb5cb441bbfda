#include <filesystem>
#include <fstream>

#include "platform/atom.h"
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
  std::error_code ec;
  std::filesystem::create_directories(AtomPath(name).parent_path(), ec);
  std::ofstream file(AtomPath(name));
  return static_cast<bool>(file);
}

void DeleteGlobalAtom(const std::string& name) {
  std::error_code ec;
  if (Usable(name)) std::filesystem::remove(AtomPath(name), ec);
}

}  // namespace torvane::platform
