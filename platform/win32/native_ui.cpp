#include <windows.h>

#include "platform/native_ui.h"
#include "platform/win32/dialog_window.h"

namespace torvane::platform {
namespace {

using win32::Win32Dialog;

constexpr WORD kTemplateLanguage = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);  // 2052

// The module that holds this code, and with it the templates: Torvane.dll in
// the shipped library (never the host's executable), the program itself
// where the core is linked statically.
HMODULE OwnModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&OwnModule), &module);
  return module;
}

Win32Dialog* DialogOf(HWND hwnd) {
  return reinterpret_cast<Win32Dialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
}

// Handlers report failures as results; anything thrown stops at this
// boundary rather than unwinding through the window system.
template <typename F>
void Guarded(F&& f) {
  try {
    f();
  } catch (...) {
  }
}

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<Win32Dialog*>(lParam);
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    dialog->Attach(hwnd);
    // A system-modal dialog stays above other windows. Windows gives it the
    // topmost style itself; some implementations of the API do not.
    if ((::GetWindowLongPtrW(hwnd, GWL_STYLE) & DS_SYSMODAL) &&
        !(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST)) {
      ::SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    bool result = true;
    Guarded([&] { result = dialog->handler().OnInitDialog(*dialog); });
    return result ? TRUE : FALSE;
  }
  Win32Dialog* dialog = DialogOf(hwnd);
  if (!dialog) return FALSE;
  switch (message) {
    case WM_COMMAND:
      // Buttons, and Enter/Escape/the close box as IDOK/IDCANCEL, arrive
      // with notification 0; edit notifications are not commands here.
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      Guarded([&] { dialog->handler().OnCommand(*dialog, LOWORD(wParam)); });
      return TRUE;
    case WM_TIMER:
      Guarded([&] { dialog->handler().OnTimer(*dialog, static_cast<unsigned>(wParam)); });
      return TRUE;
    case WM_DEVICECHANGE: {
      const DeviceChange change = win32::DecodeDeviceChange(wParam, lParam);
      Guarded([&] { dialog->handler().OnDeviceChange(*dialog, change); });
      ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);  // never refuses a request
      return TRUE;
    }
    default:
      return FALSE;
  }
}

class Win32Ui final : public Ui {
 public:
  int RunModal(int templateId, DialogHandler& handler) override {
    HMODULE module = OwnModule();
    if (!module || templateId <= 0 || templateId > 0xFFFF) return -1;
    HRSRC found = ::FindResourceExW(module, MAKEINTRESOURCEW(5) /* RT_DIALOG */,
                                    MAKEINTRESOURCEW(templateId), kTemplateLanguage);
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const auto* tmpl = loaded ? static_cast<const DLGTEMPLATE*>(::LockResource(loaded)) : nullptr;
    if (!tmpl) return -1;
    Win32Dialog dialog(templateId, handler);
    const INT_PTR result =
        ::DialogBoxIndirectParamW(module, tmpl, nullptr, DialogProc, reinterpret_cast<LPARAM>(&dialog));
    return static_cast<int>(result);
  }

  int MessageBox(DialogWindow* owner, std::string_view text, std::string_view caption,
                 unsigned type) override {
    const std::string t(text), c(caption);
    auto* dialog = dynamic_cast<Win32Dialog*>(owner);
    return ::MessageBoxA(dialog ? dialog->hwnd() : nullptr, t.c_str(), c.c_str(), type);
  }

  void MessageBeep(unsigned type) override { ::MessageBeep(type); }
};

}  // namespace

std::unique_ptr<Ui> CreateNativeUi(std::string*) { return std::make_unique<Win32Ui>(); }

}  // namespace torvane::platform
