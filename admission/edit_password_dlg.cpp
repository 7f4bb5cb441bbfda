#include "admission/edit_password_dlg.h"

#include "admission/disk_recheck.h"
#include "admission/event_text.h"
#include "admission/secret_text.h"
#include "admission/texts.h"
#include "platform/codepage.h"

namespace torvane::admission {

PasswordRule CheckNewPassword(std::string_view oldPassword, std::string_view newPassword,
                              std::string_view confirmation) {
  if (confirmation != newPassword) return PasswordRule::kMismatch;
  if (newPassword == oldPassword) return PasswordRule::kSameAsOld;
  if (newPassword.size() < CEditPasswordDlg::kMinLength) return PasswordRule::kTooShort;
  // By character: a double-byte character is skipped whole, so its trail
  // byte (which may lie in 0x40..0x7E) never counts as a digit or letter.
  bool digit = false, letter = false;
  for (std::size_t i = 0; i < newPassword.size() && !(digit && letter); ++i) {
    const char c = newPassword[i];
    if (platform::IsAnsiLeadByte(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    if (c >= '0' && c <= '9') digit = true;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) letter = true;
  }
  return digit && letter ? PasswordRule::kOk : PasswordRule::kNeedDigitAndLetter;
}

CEditPasswordDlg::CEditPasswordDlg(AdmissionServices& services, char letter, const DiskIds& ids)
    : services_(services), letter_(letter), ids_(ids) {}

bool CEditPasswordDlg::OnInitDialog(platform::DialogWindow& window) {
  window.CenterWindow();
  return true;
}

void CEditPasswordDlg::OnCommand(platform::DialogWindow& window, int id) {
  if (id == platform::kIdOk) {
    Change(window);
  } else if (id == platform::kIdCancel) {
    window.EndDialog(platform::kIdCancel);
  }
}

void CEditPasswordDlg::Change(platform::DialogWindow& window) {
  const SecretText oldPassword(window.GetItemText(kOldEdit));
  const SecretText newPassword(window.GetItemText(kNewEdit));
  const SecretText confirmation(window.GetItemText(kConfirmEdit));
  auto box = [&](const char* t, unsigned icon) {
    services_.Ui().MessageBox(&window, t, text::kCaptionFailure, icon);
  };
  switch (CheckNewPassword(oldPassword.str(), newPassword.str(), confirmation.str())) {
    case PasswordRule::kMismatch:
      return box(text::kNewMismatch, platform::kMbIconStop);
    case PasswordRule::kSameAsOld:
      return box(text::kSameAsOld, platform::kMbIconStop);
    case PasswordRule::kTooShort:
      return box(text::kTooShort, platform::kMbIconExclamation);
    case PasswordRule::kNeedDigitAndLetter:
      return box(text::kNeedDigitAndLetter, platform::kMbIconExclamation);
    case PasswordRule::kOk:
      break;
  }
  SecureDisk* disk = services_.Disk();
  if (!disk || disk->IsDIZaraz(letter_) == 0) {
    return box(text::kNoClassifiedDisk, platform::kMbIconExclamation);
  }
  switch (RecheckDisk(services_, window, *disk, letter_, ids_)) {
    case DiskAtLetter::kSame:
      break;
    case DiskAtLetter::kUnreadable:
      return;  // the user may try again
    case DiskAtLetter::kSwapped:
      swapped_ = true;
      return window.EndDialog(platform::kIdCancel);
  }
  RegInfo reg{};
  const std::int32_t registration = disk->LoadRegInfo(&reg);
  reg.ownerName[sizeof reg.ownerName - 1] = '\0';
  const bool named = registration == 0;
  const std::int32_t changed = disk->ChangeUserPasswd(oldPassword.c_str(), newPassword.c_str());
  if (changed == 0) {
    const EventText t = named ? FormatEventText(text::kChangedOwner, letter_, ids_.serial, reg.ownerName)
                              : FormatEventText(text::kChangedCode, letter_, ids_.serial, registration);
    services_.Report(t.view(), kEventType);
    window.EndDialog(platform::kIdOk);
    return;
  }
  box(text::kChangeFailed, platform::kMbIconExclamation);
  const EventText t = named ? FormatEventText(text::kChangeFailedOwner, letter_, ids_.serial, reg.ownerName)
                            : FormatEventText(text::kChangeFailedCode, letter_, ids_.serial, registration);
  services_.Report(t.view(), kEventType);
}

}  // namespace torvane::admission
