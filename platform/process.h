#pragma once
// Starts a program and does not wait for it, as WinExec with SW_SHOW does.
// Windows: WinExec. POSIX: the command line is taken as the program's path
// (no arguments) and started with posix_spawn; the child is reaped by a
// detached thread. False when it could not be started.
#include <string>

namespace torvane::platform {

bool StartProgram(const std::string& commandLine);

// Ends the calling process at once, as a crash or a kill would: nothing is
// flushed, closed or run on the way out (TerminateProcess; SIGKILL).
[[noreturn]] void TerminateNow();

}  // namespace torvane::platform
