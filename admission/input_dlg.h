#pragma once
// The password dialog (template 8001): the user gives the disk's password;
// the library checks it and opens the protected area. From here the user can
// also change the password. Ends with IDOK only when the disk was opened.
#include <cstdint>

#include "admission/disk_ids.h"
#include "admission/selvik_records.h"
#include "admission/services.h"
#include "platform/dialog.h"

namespace torvane::admission {

class CInputDlg final : public platform::DialogHandler {
 public:
  static constexpr int kTemplate = 8001;
  static constexpr int kPasswordEdit = 8001;
  static constexpr int kFormatCheck = 8006;
  static constexpr int kChangeButton = 8000;

  // `ids`: the disk the scan pass checked at `letter`; another disk found
  // there at OK is refused and ends the dialog with IDCANCEL.
  CInputDlg(AdmissionServices& services, char letter, const DiskIds& ids, std::int32_t accessValue);

  bool OnInitDialog(platform::DialogWindow& window) override;
  void OnCommand(platform::DialogWindow& window, int id) override;

 private:
  void Unlock(platform::DialogWindow& window);
  void ChangePassword(platform::DialogWindow& window);
  void Box(platform::DialogWindow& window, const char* text);
  void StartFormatProgram();
  // False (having told the user) unless the disk at the letter is still the
  // one that was checked.
  bool StillTheSameDisk(platform::DialogWindow& window, SecureDisk& disk);

  AdmissionServices& services_;
  char letter_;
  std::int32_t accessValue_;
  char serial_[kSerialSize] = {};
  DiskIds ids_;  // the disk that was checked
};

}  // namespace torvane::admission
