#pragma once
// The device watch window (template 8000): a hidden modal dialog that runs
// for the library's life. It resets the drive slots and runs the first scan
// pass when it starts, starts one scan thread per device arrival, re-arms the
// slots of drives that are gone on removal, and rescans on timer 1.
#include <memory>
#include <string>

#include "admission/drive_slots.h"
#include "admission/services.h"
#include "platform/dialog.h"

namespace torvane::admission {

class CDeviceMsgDlg final : public platform::DialogHandler {
 public:
  static constexpr int kTemplate = 8000;
  static constexpr unsigned kRescanTimer = 1;
  static constexpr unsigned kRescanPeriodMs = 10000;

  CDeviceMsgDlg(std::shared_ptr<AdmissionServices> services, std::shared_ptr<AdmissionState> state);

  bool OnInitDialog(platform::DialogWindow& window) override;
  // Enter, Escape and the close command never end the window.
  void OnCommand(platform::DialogWindow& window, int id) override;
  void OnTimer(platform::DialogWindow& window, unsigned id) override;
  void OnDeviceChange(platform::DialogWindow& window, const platform::DeviceChange& change) override;

  // The drive roots, each ended by '_' instead of NUL ("A:\_D:\_").
  const std::string& DriveListText() const { return driveList_; }

 private:
  void RewriteDriveList();
  void DriveRemoved(const platform::DeviceChange& change);

  std::shared_ptr<AdmissionServices> services_;
  std::shared_ptr<AdmissionState> state_;
  std::string driveList_;
};

// Runs the device watch window modally on the calling thread until it is
// ended from outside; always 0.
int RunDeviceWatch(std::shared_ptr<AdmissionServices> services);

}  // namespace torvane::admission
