#pragma once
// One real dialog window as its handler sees it (Win32 backend).
#include <windows.h>

#include "platform/dialog.h"

namespace torvane::platform::win32 {

class Win32Dialog final : public DialogWindow {
 public:
  Win32Dialog(int templateId, DialogHandler& handler) : templateId_(templateId), handler_(handler) {}

  HWND hwnd() const { return hwnd_; }
  void Attach(HWND hwnd) { hwnd_ = hwnd; }
  DialogHandler& handler() { return handler_; }
  // Overwrites and empties every password box; called as the window goes.
  void WipePasswordEdits();

  int TemplateId() const override { return templateId_; }
  std::string GetItemText(int id) override;
  void SetItemText(int id, std::string_view text) override;
  void SetTitle(std::string_view text) override;
  int IsDlgButtonChecked(int id) override;
  void CheckDlgButton(int id, int state) override;
  void EnableItem(int id, bool enable) override;
  void SetFocus(int id) override;
  void CenterWindow() override;
  void ShowAt(int x, int y, int width, int height) override;
  void EndDialog(int result) override;
  bool SetTimer(unsigned id, unsigned milliseconds) override;
  void KillTimer(unsigned id) override;

 private:
  const int templateId_;
  DialogHandler& handler_;
  HWND hwnd_ = nullptr;
};

// Decodes WM_DEVICECHANGE's arguments. `data` is read only for events
// that carry a broadcast header (bit 0x8000), within the size it gives.
DeviceChange DecodeDeviceChange(WPARAM event, LPARAM data);

}  // namespace torvane::platform::win32
