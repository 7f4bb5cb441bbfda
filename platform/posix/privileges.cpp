#include "platform/privileges.h"

namespace torvane::platform {

// inotify needs read access to the directories only; no privileges apply.
void EnableDirectoryWatchPrivileges() {}

}  // namespace torvane::platform
