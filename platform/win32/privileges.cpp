#include <windows.h>

#include "platform/privileges.h"

namespace torvane::platform {
namespace {

void Enable(const char* name) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    return;
  TOKEN_PRIVILEGES tp{};
  if (::LookupPrivilegeValueA(nullptr, name, &tp.Privileges[0].Luid)) {
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    ::AdjustTokenPrivileges(token, FALSE, &tp, sizeof tp, nullptr, nullptr);
  }
  ::CloseHandle(token);
}

}  // namespace

void EnableDirectoryWatchPrivileges() {
  Enable("SeBackupPrivilege");
  Enable("SeRestorePrivilege");
  Enable("SeChangeNotifyPrivilege");
}

}  // namespace torvane::platform
