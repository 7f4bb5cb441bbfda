#pragma once
// Privileges that let a process watch any directory of a removable disk:
// backup, restore and change-notify, enabled once per process on Windows.
// Failures are ignored; nothing to do on POSIX.
namespace torvane::platform {

void EnableDirectoryWatchPrivileges();

}  // namespace torvane::platform
