#pragma once
// Starts a program and does not wait for it, shown normally. The program is
// named by its full path (IsFullPath) and gets no arguments; nothing is
// searched for and no shell is involved. Windows: CreateProcess with the path
// as the application name and, quoted, as the command line, so a blank in a
// folder name cannot make another program run ("C:\Program.exe" for
// "C:\Program Files\..."). POSIX: posix_spawn; the child is reaped by a
// detached thread. False when it could not be started.
#include <string>

namespace torvane::platform {

bool StartProgram(const std::string& program);

// Ends the calling process at once, as a crash or a kill would: nothing is
// flushed, closed or run on the way out (TerminateProcess; SIGKILL).
[[noreturn]] void TerminateNow();

}  // namespace torvane::platform
