#include "admission/input_dlg.h"

#include <algorithm>
#include <cstring>

#include "admission/disk_recheck.h"
#include "admission/edit_password_dlg.h"
#include "admission/event_text.h"
#include "admission/secret_text.h"
#include "admission/texts.h"
#include "config/host_directory.h"

namespace torvane::admission {

CInputDlg::CInputDlg(AdmissionServices& services, char letter, const DiskIds& ids,
                     std::int32_t accessValue)
    : services_(services), letter_(letter), accessValue_(accessValue), ids_(ids) {
  std::memcpy(serial_, ids.serial, sizeof serial_);
}

bool CInputDlg::OnInitDialog(platform::DialogWindow& window) {
  window.CenterWindow();
  window.SetFocus(kPasswordEdit);
  return true;
}

void CInputDlg::OnCommand(platform::DialogWindow& window, int id) {
  if (id == platform::kIdOk) {
    Unlock(window);
  } else if (id == platform::kIdCancel) {
    window.EndDialog(platform::kIdCancel);
  } else if (id == kChangeButton) {
    ChangePassword(window);
  }
}

void CInputDlg::Box(platform::DialogWindow& window, const char* text) {
  services_.Ui().MessageBox(&window, text, text::kCaptionFailure, platform::kMbIconExclamation);
}

void CInputDlg::Unlock(platform::DialogWindow& window) {
  const SecretText password(window.GetItemText(kPasswordEdit));
  SecureDisk* disk = services_.Disk();
  if (!disk || disk->IsDIZaraz(letter_) == 0) {
    Box(window, text::kNoClassifiedDisk);
    return;
  }
  if (!StillTheSameDisk(window, *disk)) return;
  RegInfo reg{};
  const std::int32_t registration = disk->LoadRegInfo(&reg);
  reg.ownerName[sizeof reg.ownerName - 1] = '\0';
  const bool named = registration == 0;
  const char* owner = reg.ownerName;

  const std::int32_t tried = disk->TryUserPasswd(password.c_str());
  if (tried == kPasswdUnregistered) {
    Box(window, text::kUnregisteredDisk);
    return;
  }
  if (tried == kPasswdTooManyTries) {
    const EventText t = named ? FormatEventText(text::kTooManyTriesOwner, letter_, serial_, owner)
                              : FormatEventText(text::kTooManyTriesCode, letter_, serial_, registration);
    services_.Report(t.view(), kEventType);
    Box(window, text::kTooManyTries);
    return;
  }
  if (tried != 0) {
    services_.Log(FormatEventText(text::kLogTryFailed, tried).view());
    const EventText t = named ? FormatEventText(text::kWrongPasswordOwner, letter_, serial_, owner)
                              : FormatEventText(text::kWrongPasswordCode, letter_, serial_, registration);
    services_.Report(t.view(), kEventType);
    Box(window, text::kWrongPassword);
    return;
  }

  const std::int32_t opened = disk->OpenSecDisk(password.c_str(), letter_, accessValue_);
  if (opened != 0) {
    services_.Log(FormatEventText(text::kLogOpenFailed, opened).view());
    const EventText t = named ? FormatEventText(text::kOpenFailedOwner, letter_, serial_, owner)
                              : FormatEventText(text::kOpenFailedCode, letter_, serial_, registration);
    services_.Report(t.view(), kEventType);
    Box(window, text::kOpenClassifiedFailed);
    return;
  }
  const EventText t = named ? FormatEventText(text::kOpenedOwner, letter_, serial_, owner)
                            : FormatEventText(text::kOpenedCode, letter_, serial_, registration);
  services_.Report(t.view(), kEventType);
  services_.DismountVolume(letter_);  // the result is not looked at
  if (window.IsDlgButtonChecked(kFormatCheck) == platform::kBstChecked) StartFormatProgram();
  window.EndDialog(platform::kIdOk);
}

// Started only from its full path in the host directory: with that unknown,
// a bare name would be looked for in the current directory and along PATH.
void CInputDlg::StartFormatProgram() {
  const std::string dir = config::HostDirectory();
  if (dir.empty()) {
    services_.Log("Error: UsbDiskFormat.exe not started: the host directory is unknown");
    return;
  }
  services_.StartProgram(dir + text::kFormatProgram);
}

bool CInputDlg::StillTheSameDisk(platform::DialogWindow& window, SecureDisk& disk) {
  switch (RecheckDisk(services_, window, disk, letter_, ids_)) {
    case DiskAtLetter::kSame:
      return true;
    case DiskAtLetter::kUnreadable:
      return false;  // the user may try again
    case DiskAtLetter::kSwapped:
      break;
  }
  // The authorization and accessValue were decided for the first disk, so
  // this one is not opened at all.
  window.EndDialog(platform::kIdCancel);
  return false;
}

void CInputDlg::ChangePassword(platform::DialogWindow& window) {
  CEditPasswordDlg change(services_, letter_, ids_);
  window.EnableItem(kChangeButton, false);
  services_.Ui().RunModal(CEditPasswordDlg::kTemplate, change);
  window.EnableItem(kChangeButton, true);
  // The swap is already told: this dialog was for the first disk too.
  if (change.swapped()) window.EndDialog(platform::kIdCancel);
}

}  // namespace torvane::admission
