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

bool VolumeAnswers(char letter) {
  if (!((letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z'))) return false;
  const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', L'\0'};
  // A removable drive without its medium would otherwise ask the user to
  // insert a disk; here it only answers no.
  DWORD previous = 0;
  const bool quiet = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous) != 0;
  const DWORD attributes = ::GetFileAttributesW(root);
  const bool answers = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (quiet) ::SetThreadErrorMode(previous, nullptr);
  return answers;
}

}  // namespace torvane::platform
