#include <windows.h>

#include <cstdlib>

#include "platform/host_dir.h"

namespace torvane::platform {

std::string ExecutableDirectory() {
  char path[MAX_PATH] = {};
  const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  // A path cut to the buffer would name the wrong folder: treat it as unknown.
  if (n == 0 || n >= MAX_PATH) return {};
  char drive[_MAX_DRIVE] = {};
  char dir[_MAX_DIR] = {};
  if (::_splitpath_s(path, drive, sizeof drive, dir, sizeof dir, nullptr, 0, nullptr, 0) != 0)
    return {};
  return std::string(drive) + dir;
}

}  // namespace torvane::platform
