#pragma once
// The change-password dialog (template 8002), opened from the password
// dialog: checks the new password against the local rules, then has the
// library change it. Ends with IDOK only when the password was changed.
#include <string>
#include <string_view>

#include "admission/disk_ids.h"
#include "admission/selvik_records.h"
#include "admission/services.h"
#include "platform/dialog.h"

namespace torvane::admission {

// The local rules, in the order they are applied.
enum class PasswordRule { kOk, kMismatch, kSameAsOld, kTooShort, kNeedDigitAndLetter };

PasswordRule CheckNewPassword(std::string_view oldPassword, std::string_view newPassword,
                              std::string_view confirmation);

class CEditPasswordDlg final : public platform::DialogHandler {
 public:
  static constexpr int kTemplate = 8002;
  static constexpr int kOldEdit = 8002;
  static constexpr int kNewEdit = 8003;
  static constexpr int kConfirmEdit = 8004;
  static constexpr std::size_t kMinLength = 8;

  // `ids`: the disk the password dialog was opened for; another disk found
  // at the letter is not changed, and ends this dialog with IDCANCEL.
  CEditPasswordDlg(AdmissionServices& services, char letter, const DiskIds& ids);

  bool OnInitDialog(platform::DialogWindow& window) override;
  void OnCommand(platform::DialogWindow& window, int id) override;

  // Whether the dialog ended because another disk was at the letter.
  bool swapped() const { return swapped_; }

 private:
  void Change(platform::DialogWindow& window);

  AdmissionServices& services_;
  char letter_;
  DiskIds ids_;
  bool swapped_ = false;
};

}  // namespace torvane::admission
