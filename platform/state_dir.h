#pragma once
// POSIX only: the folder that holds what Windows keeps in system places (the
// registry stand-in, named flags). TORVANE_STATE_DIR when set, otherwise
// $XDG_STATE_HOME/torvane, otherwise $HOME/.local/state/torvane.
#include <string>

namespace torvane::platform {

std::string StateDirectory();

}  // namespace torvane::platform
