#pragma once
// Drives the real dialogs of a process the way a user would, from another
// thread or another process (Windows only; used by the tests under Wine and
// by torvane-uidriver). Dialogs are windows of class "#32770", found by
// title and, optionally, by the control ids they must have. Clicks that may
// open a modal box are posted (a sent click would block until that box
// closes); reads go through WM_GETTEXT, which works across processes.
#include <windows.h>

#include <string>
#include <vector>

namespace torvane::uidriver {

struct MessageBoxSeen {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;
  unsigned icon = 0;  // MB_ICON* value: 0x10, 0x20, 0x30, 0x40; 0 none or unknown
};

struct Placement {
  RECT rect{};          // window rectangle, screen coordinates
  DWORD style = 0;      // GWL_STYLE
  DWORD exStyle = 0;    // GWL_EXSTYLE
  bool visible = false;
  bool topmost = false;
};

class Driver {
 public:
  // pid 0: dialogs of any process.
  explicit Driver(DWORD pid = 0, DWORD timeoutMs = 10000) : pid_(pid), timeoutMs_(timeoutMs) {}

  // The visible dialog with this title (and every id in `ids`), waited for;
  // nullptr when none appeared in time.
  HWND WaitDialog(const std::wstring& title, const std::vector<int>& ids = {}) const;
  // True once `dialog` no longer exists (waits up to `ms`).
  bool WaitGone(HWND dialog, DWORD ms) const;
  // Every visible dialog with this title right now.
  std::vector<HWND> Dialogs(const std::wstring& title) const;

  static void Type(HWND dialog, int id, const std::wstring& text);
  static void Check(HWND dialog, int id, bool checked);
  static void Click(HWND dialog, int id);  // posted WM_COMMAND BN_CLICKED
  // Keys as a user presses them, to the focused control of the dialog's
  // thread: Enter presses the default button, Escape means IDCANCEL.
  static void Key(HWND dialog, WORD virtualKey);
  static void Close(HWND dialog);  // WM_CLOSE, as the close box sends it

  static std::wstring Text(HWND dialog, int id);
  static std::wstring Title(HWND window);
  static int Checked(HWND dialog, int id);  // BM_GETCHECK
  static bool Enabled(HWND dialog, int id);
  static Placement Place(HWND window);
  static int FocusId(HWND dialog);  // control id with the keyboard focus, -1 none

  // The next message box owned by `owner` (nullptr: any box, i.e. any dialog
  // with the static text control 0xFFFF), waited for and recorded.
  bool WaitBox(HWND owner, MessageBoxSeen* box) const;
  // Presses `button` (IDOK) of a box; the box's caller then returns.
  static void Answer(const MessageBoxSeen& box, int button = IDOK);

  // Saves what the screen shows of `window` (with a margin) as a 24-bit BMP.
  static bool Screenshot(HWND window, const std::wstring& path, int margin = 8);

 private:
  bool Ours(HWND w) const;
  DWORD pid_;
  DWORD timeoutMs_;
};

// UTF-8 <-> UTF-16, for command lines and reports.
std::wstring FromUtf8(const std::string& text);
std::string ToUtf8(const std::wstring& text);

}  // namespace torvane::uidriver
