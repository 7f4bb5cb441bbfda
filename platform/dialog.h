#pragma once
// The dialog framework, shaped on Win32 dialogs: a dialog is a resource
// template id plus a handler holding its behaviour (its message map); the
// backend creates the window, runs it modally on the calling thread and calls
// the handler. Controls are addressed by id; results are the EndDialog value.
// Backends: scripted (platform/scripted_ui.h, both targets) and, on Windows,
// real dialogs from resources (platform/native_ui.h).
#include <cstdint>
#include <string>
#include <string_view>

namespace torvane::platform {

inline constexpr int kIdOk = 1;      // IDOK
inline constexpr int kIdCancel = 2;  // IDCANCEL

// Message box types (MB_*): only a single OK button is used here.
inline constexpr unsigned kMbOk = 0x00;
inline constexpr unsigned kMbIconStop = 0x10;
inline constexpr unsigned kMbIconExclamation = 0x30;
inline constexpr unsigned kMbIconInformation = 0x40;

inline constexpr int kBstUnchecked = 0;
inline constexpr int kBstChecked = 1;

// WM_DEVICECHANGE as the device watch window receives it.
inline constexpr std::uint32_t kDbtDeviceArrival = 0x8000;
inline constexpr std::uint32_t kDbtDeviceRemoveComplete = 0x8004;
inline constexpr std::uint32_t kDbtDevtypVolume = 2;

struct DeviceChange {
  std::uint32_t event = 0;       // DBT_* code
  bool hasHeader = false;        // event data carries a broadcast header
  std::uint32_t deviceType = 0;  // dbch_devicetype
  std::uint32_t unitMask = 0;    // dbcv_unitmask, for volumes
};

class DialogWindow;

// A dialog's behaviour: the handlers of its message map.
class DialogHandler {
 public:
  virtual ~DialogHandler() = default;
  // WM_INITDIALOG; the return value is the handler's TRUE/FALSE.
  virtual bool OnInitDialog(DialogWindow& window) = 0;
  // WM_COMMAND from a button (or Enter/Esc/close as IDOK/IDCANCEL).
  virtual void OnCommand(DialogWindow& window, int id) = 0;
  virtual void OnTimer(DialogWindow& /*window*/, unsigned /*id*/) {}
  virtual void OnDeviceChange(DialogWindow& /*window*/, const DeviceChange& /*change*/) {}
};

// One open dialog, as its handler sees it.
class DialogWindow {
 public:
  virtual ~DialogWindow() = default;
  virtual int TemplateId() const = 0;
  virtual std::string GetItemText(int id) = 0;  // 8-bit text, ANSI code page
  virtual void SetItemText(int id, std::string_view text) = 0;
  virtual void SetTitle(std::string_view text) = 0;  // window title, 8-bit text
  virtual int IsDlgButtonChecked(int id) = 0;
  virtual void CheckDlgButton(int id, int state) = 0;
  virtual void EnableItem(int id, bool enable) = 0;
  virtual void SetFocus(int id) = 0;
  // Centres on the screen, keeping the size: left = (screen width - window
  // width) / 2, top likewise, rounded toward zero; repaints.
  virtual void CenterWindow() = 0;
  virtual void ShowAt(int x, int y, int width, int height) = 0;  // top of the z-order, shown
  virtual void EndDialog(int result) = 0;
  virtual bool SetTimer(unsigned id, unsigned milliseconds) = 0;
  virtual void KillTimer(unsigned id) = 0;
};

// The window system, for one process.
class Ui {
 public:
  virtual ~Ui() = default;
  // Runs dialog `templateId` modally with `handler`; returns the EndDialog
  // result, or -1 when the dialog could not be created.
  virtual int RunModal(int templateId, DialogHandler& handler) = 0;
  // A modal message box owned by `owner` (nullptr: no owner); returns the
  // button pressed (IDOK), or 0 when no box could be shown.
  virtual int MessageBox(DialogWindow* owner, std::string_view text, std::string_view caption,
                         unsigned type) = 0;
  virtual void MessageBeep(unsigned type) = 0;
};

}  // namespace torvane::platform
