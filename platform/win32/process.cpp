#include <windows.h>

#include "platform/process.h"

namespace torvane::platform {

bool StartProgram(const std::string& commandLine) {
  return ::WinExec(commandLine.c_str(), SW_SHOW) > 31;
}

void TerminateNow() {
  ::TerminateProcess(::GetCurrentProcess(), 1);
  for (;;) ::Sleep(INFINITE);
}

}  // namespace torvane::platform
