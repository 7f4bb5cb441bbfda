#include "platform/state_dir.h"

#include <cstdlib>

namespace torvane::platform {

std::string StateDirectory() {
  if (const char* dir = std::getenv("TORVANE_STATE_DIR"); dir && *dir) return dir;
  if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg)
    return std::string(xdg) + "/torvane";
  if (const char* home = std::getenv("HOME"); home && *home)
    return std::string(home) + "/.local/state/torvane";
  return "/var/lib/torvane";
}

}  // namespace torvane::platform
