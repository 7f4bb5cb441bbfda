#pragma once
// The library's main loop behind the exported DoWork.

namespace torvane::entry {

// Pins the library, then runs the device watch window on the calling thread
// with the production services, the process's window system and the
// secure-disk library in the host directory. Returns 0 once the window's
// modal loop has been ended from outside.
int RunDoWork();

}  // namespace torvane::entry
