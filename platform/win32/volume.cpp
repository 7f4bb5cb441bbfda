#include <windows.h>
#include <winioctl.h>

#include "platform/volume.h"

namespace torvane::platform {

bool DismountVolume(char letter) {
  char path[] = "\\\\.\\z:";
  path[4] = letter;
  HANDLE h = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD returned = 0;
  ::DeviceIoControl(h, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr);
  ::CloseHandle(h);
  return true;
}

}  // namespace torvane::platform
