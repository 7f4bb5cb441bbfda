#pragma once
// The console control handler that stop_request installs, reachable by the
// tests: the system gives no way to send a console close to a program.
#include <windows.h>

namespace torvane::platform::win32 {

// Ctrl-C and Ctrl-Break request the stop and return at once; a console close
// requests it and holds on for most of the time Windows allows, since the
// process ends as soon as the handler returns.
BOOL WINAPI OnConsoleControl(DWORD type);

}  // namespace torvane::platform::win32
