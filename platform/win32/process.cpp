#include <windows.h>

#include "platform/host_dir.h"
#include "platform/process.h"

namespace torvane::platform {
namespace {

struct ProcessHandles {
  PROCESS_INFORMATION info{};
  ProcessHandles() = default;
  ProcessHandles(const ProcessHandles&) = delete;
  ProcessHandles& operator=(const ProcessHandles&) = delete;
  ~ProcessHandles() {
    if (info.hThread) ::CloseHandle(info.hThread);
    if (info.hProcess) ::CloseHandle(info.hProcess);
  }
};

}  // namespace

bool StartProgram(const std::string& program) {
  // A quote cannot be part of a file name; it could only end the quoting.
  if (!IsFullPath(program) || program.find('"') != std::string::npos) return false;
  std::string commandLine = "\"" + program + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  ProcessHandles process;
  return ::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process.info) != 0;
}

void TerminateNow() {
  ::TerminateProcess(::GetCurrentProcess(), 1);
  for (;;) ::Sleep(INFINITE);
}

}  // namespace torvane::platform
