#include "tools/uidriver/ui_driver.h"

#include <cstdio>
#include <cstring>

namespace torvane::uidriver {
namespace {

constexpr int kMessageBoxTextId = 0xFFFF;
constexpr DWORD kPollMs = 20;

bool HasControls(HWND dialog, const std::vector<int>& ids) {
  for (int id : ids)
    if (!::GetDlgItem(dialog, id)) return false;
  return true;
}

// The icon of a message box: its SS_ICON static compared with the system's
// shared icons (the same handles in this process; 0 from elsewhere).
unsigned IconOf(HWND box) {
  struct Known {
    LPCSTR id;
    unsigned type;
  };
  static const Known kKnown[] = {{IDI_HAND, MB_ICONSTOP},
                                 {IDI_QUESTION, MB_ICONQUESTION},
                                 {IDI_EXCLAMATION, MB_ICONEXCLAMATION},
                                 {IDI_ASTERISK, MB_ICONINFORMATION}};
  for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    if ((::GetWindowLongPtrW(c, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
    const auto icon = reinterpret_cast<HICON>(::SendMessageW(c, STM_GETICON, 0, 0));
    if (!icon) return 0;
    for (const auto& k : kKnown)
      if (::LoadIconA(nullptr, k.id) == icon) return k.type;
    return 0;
  }
  return 0;
}

}  // namespace

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                          nullptr);
  return out;
}

bool Driver::Ours(HWND w) const {
  if (pid_ == 0) return true;
  DWORD pid = 0;
  ::GetWindowThreadProcessId(w, &pid);
  return pid == pid_;
}

std::vector<HWND> Driver::Dialogs(const std::wstring& title) const {
  std::vector<HWND> found;
  for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, L"#32770", nullptr)) != nullptr;) {
    if (Ours(w) && ::IsWindowVisible(w) && Title(w) == title) found.push_back(w);
  }
  return found;
}

HWND Driver::WaitDialog(const std::wstring& title, const std::vector<int>& ids) const {
  const ULONGLONG end = ::GetTickCount64() + timeoutMs_;
  do {
    for (HWND w : Dialogs(title))
      if (HasControls(w, ids)) return w;
    ::Sleep(kPollMs);
  } while (::GetTickCount64() < end);
  return nullptr;
}

bool Driver::WaitGone(HWND dialog, DWORD ms) const {
  const ULONGLONG end = ::GetTickCount64() + ms;
  while (::IsWindow(dialog)) {
    if (::GetTickCount64() >= end) return false;
    ::Sleep(kPollMs);
  }
  return true;
}

void Driver::Type(HWND dialog, int id, const std::wstring& text) {
  ::SendDlgItemMessageW(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Driver::Check(HWND dialog, int id, bool checked) {
  if ((Checked(dialog, id) == BST_CHECKED) != checked) ::SendDlgItemMessageW(dialog, id, BM_CLICK, 0, 0);
}

void Driver::Click(HWND dialog, int id) {
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

void Driver::Key(HWND dialog, WORD virtualKey) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  HWND target = dialog;
  if (::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus)
    target = info.hwndFocus;
  ::PostMessageW(target, WM_KEYDOWN, virtualKey, 1);
  ::PostMessageW(target, WM_KEYUP, virtualKey, 0xC0000001);
}

void Driver::Close(HWND dialog) { ::PostMessageW(dialog, WM_CLOSE, 0, 0); }

std::wstring Driver::Text(HWND dialog, int id) { return Title(::GetDlgItem(dialog, id)); }

std::wstring Driver::Title(HWND window) {
  if (!window) return {};
  wchar_t buf[1024] = {};
  DWORD_PTR got = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXT, sizeof buf / sizeof buf[0], reinterpret_cast<LPARAM>(buf),
                             SMTO_ABORTIFHUNG, 3000, &got))
    return {};
  buf[sizeof buf / sizeof buf[0] - 1] = L'\0';
  return buf;
}

int Driver::Checked(HWND dialog, int id) {
  return static_cast<int>(::SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0));
}

bool Driver::Enabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; }

Placement Driver::Place(HWND window) {
  Placement p;
  ::GetWindowRect(window, &p.rect);
  p.style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
  p.exStyle = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE));
  p.visible = ::IsWindowVisible(window) != FALSE;
  p.topmost = (p.exStyle & WS_EX_TOPMOST) != 0;
  return p;
}

int Driver::FocusId(HWND dialog) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &info) || !info.hwndFocus) return -1;
  if (::GetParent(info.hwndFocus) != dialog) return -1;
  return ::GetDlgCtrlID(info.hwndFocus);
}

bool Driver::WaitBox(HWND owner, MessageBoxSeen* box) const {
  const ULONGLONG end = ::GetTickCount64() + timeoutMs_;
  do {
    for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, L"#32770", nullptr)) != nullptr;) {
      if (!Ours(w) || !::IsWindowVisible(w) || !::GetDlgItem(w, kMessageBoxTextId)) continue;
      if (owner && ::GetWindow(w, GW_OWNER) != owner) continue;
      box->window = w;
      box->caption = Title(w);
      box->text = Text(w, kMessageBoxTextId);
      box->icon = IconOf(w);
      return true;
    }
    ::Sleep(kPollMs);
  } while (::GetTickCount64() < end);
  return false;
}

void Driver::Answer(const MessageBoxSeen& box, int button) { Click(box.window, button); }

bool Driver::Screenshot(HWND window, const std::wstring& path, int margin) {
  RECT r{};
  if (!::GetWindowRect(window, &r)) return false;
  const int x = r.left - margin, y = r.top - margin;
  const int w = r.right - r.left + 2 * margin, h = r.bottom - r.top + 2 * margin;
  if (w <= 0 || h <= 0 || w > 8192 || h > 8192) return false;
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;  // bottom-up, as a BMP file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap && mem) {
    HGDIOBJ old = ::SelectObject(mem, bitmap);
    ok = ::BitBlt(mem, 0, 0, w, h, screen, x, y, SRCCOPY) != FALSE;
    ::GdiFlush();
    ::SelectObject(mem, old);
  }
  const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
  const DWORD imageSize = stride * static_cast<DWORD>(h);
  if (ok) {
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + imageSize;
    FILE* f = ::_wfopen(path.c_str(), L"wb");
    ok = f && std::fwrite(&file, sizeof file, 1, f) == 1 &&
         std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f) == 1 &&
         std::fwrite(bits, imageSize, 1, f) == 1;
    if (f) ok = std::fclose(f) == 0 && ok;
  }
  if (bitmap) ::DeleteObject(bitmap);
  if (mem) ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace torvane::uidriver
