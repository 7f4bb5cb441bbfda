#include "platform/win32/dialog_window.h"

#include <dbt.h>

#include <cstddef>
#include <string>

namespace torvane::platform::win32 {
namespace {

// Overwrites `n` bytes in a way the optimiser keeps.
void Wipe(char* p, std::size_t n) {
  volatile char* v = p;
  while (n--) *v++ = 0;
}

bool IsPasswordEdit(HWND control) {
  wchar_t kind[8] = {};
  return control && ::GetClassNameW(control, kind, 8) == 4 && ::lstrcmpiW(kind, L"Edit") == 0 &&
         (::GetWindowLongPtrW(control, GWL_STYLE) & ES_PASSWORD) != 0;
}

}  // namespace

std::string Win32Dialog::GetItemText(int id) {
  HWND control = ::GetDlgItem(hwnd_, id);
  if (!control) return {};
  const int length = ::GetWindowTextLengthA(control);
  if (length <= 0) return {};
  // Read straight into the string handed back, so a password passes through
  // no other buffer of ours; the caller owns (and wipes) it from here on.
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int got = ::GetWindowTextA(control, text.data(), length + 1);
  const std::size_t kept = got > 0 ? static_cast<std::size_t>(got) : 0;
  Wipe(text.data() + kept, text.size() - kept);
  text.resize(kept);  // shrinking keeps the same storage
  return text;
}

// A password stays in its box while the dialog is up, so that the user can
// correct it after a refusal; when the window goes, each password box is first
// overwritten in its own buffer (same length, so the buffer is reused), then
// emptied, so the text does not outlive the dialog in freed memory.
void Win32Dialog::WipePasswordEdits() {
  for (HWND child = ::GetWindow(hwnd_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!IsPasswordEdit(child)) continue;
    const int length = ::GetWindowTextLengthA(child);
    if (length > 0) {
      const std::string blank(static_cast<std::size_t>(length), ' ');
      ::SetWindowTextA(child, blank.c_str());
    }
    ::SetWindowTextA(child, "");
  }
}

void Win32Dialog::SetItemText(int id, std::string_view text) {
  const std::string t(text);
  ::SetDlgItemTextA(hwnd_, id, t.c_str());
}

void Win32Dialog::SetTitle(std::string_view text) {
  const std::string t(text);
  ::SetWindowTextA(hwnd_, t.c_str());
}

int Win32Dialog::IsDlgButtonChecked(int id) {
  return static_cast<int>(::IsDlgButtonChecked(hwnd_, id));
}

void Win32Dialog::CheckDlgButton(int id, int state) {
  ::CheckDlgButton(hwnd_, id, static_cast<UINT>(state));
}

void Win32Dialog::EnableItem(int id, bool enable) {
  if (HWND control = ::GetDlgItem(hwnd_, id)) ::EnableWindow(control, enable ? TRUE : FALSE);
}

void Win32Dialog::SetFocus(int id) {
  if (HWND control = ::GetDlgItem(hwnd_, id)) ::SetFocus(control);
}

void Win32Dialog::CenterWindow() {
  RECT r{};
  if (!::GetWindowRect(hwnd_, &r)) return;
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  const int left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  ::MoveWindow(hwnd_, left, top, width, height, TRUE);
}

void Win32Dialog::ShowAt(int x, int y, int width, int height) {
  ::SetWindowPos(hwnd_, HWND_TOP, x, y, width, height, SWP_SHOWWINDOW);
}

void Win32Dialog::EndDialog(int result) { ::EndDialog(hwnd_, result); }

bool Win32Dialog::SetTimer(unsigned id, unsigned milliseconds) {
  return ::SetTimer(hwnd_, id, milliseconds, nullptr) != 0;
}

void Win32Dialog::KillTimer(unsigned id) { ::KillTimer(hwnd_, id); }

DeviceChange DecodeDeviceChange(WPARAM event, LPARAM data) {
  DeviceChange change;
  change.event = static_cast<std::uint32_t>(event);
  // Only events with bit 0x8000 carry a broadcast header; for the others the
  // data is a plain number that anyone can post, never an address.
  if ((event & 0x8000) == 0 || data == 0) return change;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
  // Nothing beyond the size the header gives is read.
  const DWORD size = header->dbch_size;
  if (size < sizeof(DEV_BROADCAST_HDR)) return change;
  change.hasHeader = true;
  change.deviceType = header->dbch_devicetype;
  constexpr std::size_t kMaskEnd = offsetof(DEV_BROADCAST_VOLUME, dbcv_unitmask) + sizeof(DWORD);
  if (change.deviceType == DBT_DEVTYP_VOLUME && size >= kMaskEnd) {
    change.unitMask = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(data)->dbcv_unitmask;
  }
  return change;
}

}  // namespace torvane::platform::win32
