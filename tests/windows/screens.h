#pragma once
// Screenshots of the real dialogs, taken when TORVANE_SCREENS names a folder
// (the tests' CMake sets it); scripts/update-screens turns them into the
// PNG files of docs/screens.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "tools/uidriver/ui_driver.h"

namespace torvane::test {

// Paints the window as active first (Wine may leave the caption grey) and
// gives it a moment to redraw. False only when a folder was set and the
// picture could not be written.
inline bool Screenshot(HWND window, const char* name) {
  const char* dir = std::getenv("TORVANE_SCREENS");
  if (!dir || !*dir) return true;
  ::CreateDirectoryA(dir, nullptr);
  ::SendMessageW(window, WM_NCACTIVATE, TRUE, 0);
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  ::Sleep(300);
  const std::string path = std::string(dir) + "\\" + name + ".bmp";
  return uidriver::Driver::Screenshot(window, uidriver::FromUtf8(path));
}

}  // namespace torvane::test
