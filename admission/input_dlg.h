#pragma once
// The password dialog (template 8001): the user gives the disk's password;
// the library checks it and opens the protected area. From here the user can
// also change the password. Ends with IDOK only when the disk was opened.
#include <cstdint>
#include <string_view>

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

  CInputDlg(AdmissionServices& services, char letter, std::string_view serial,
            std::int32_t accessValue);

  bool OnInitDialog(platform::DialogWindow& window) override;
  void OnCommand(platform::DialogWindow& window, int id) override;

 private:
  void Unlock(platform::DialogWindow& window);
  void ChangePassword(platform::DialogWindow& window);
  void Box(platform::DialogWindow& window, const char* text);

  AdmissionServices& services_;
  char letter_;
  std::int32_t accessValue_;
  char serial_[kSerialSize] = {};
};

}  // namespace torvane::admission
