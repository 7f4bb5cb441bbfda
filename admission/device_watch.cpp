#include "admission/device_watch.h"

#include <algorithm>

#include "admission/kernel_names.h"
#include "admission/scan_pass.h"
#include "config/config.h"
#include "platform/atom.h"

namespace torvane::admission {
namespace {

// What GetLogicalDriveStringsA leaves in a 260-byte buffer.
constexpr std::size_t kDriveListSize = 260;

}  // namespace

CDeviceMsgDlg::CDeviceMsgDlg(std::shared_ptr<AdmissionServices> services,
                             std::shared_ptr<AdmissionState> state)
    : services_(std::move(services)), state_(std::move(state)) {}

void CDeviceMsgDlg::RewriteDriveList() {
  std::string list = services_->LogicalDriveStrings();
  if (list.size() >= kDriveListSize) list.resize(kDriveListSize - 1);
  // The list ends with an empty root (two NULs); its end is the first "\0\0".
  if (const auto end = list.find(std::string(2, '\0')); end != std::string::npos) list.resize(end + 1);
  std::replace(list.begin(), list.end(), '\0', '_');
  driveList_ = std::move(list);
}

bool CDeviceMsgDlg::OnInitDialog(platform::DialogWindow& window) {
  RewriteDriveList();
  state_->ResetSlots(services_->Now());
  window.ShowAt(0, 0, 0, 0);
  const std::int32_t level = config::ReadUfileAudit();
  state_->auditLevel.store(level);
  if (level > 0) services_->StopAllAudits();  // watches left by an earlier run
  RunScanPass(*services_, *state_, &window);
  return true;
}

void CDeviceMsgDlg::OnCommand(platform::DialogWindow&, int) {}

void CDeviceMsgDlg::OnTimer(platform::DialogWindow& window, unsigned id) {
  if (id != kRescanTimer) return;
  window.KillTimer(kRescanTimer);
  RunScanPass(*services_, *state_, &window);
  window.SetTimer(kRescanTimer, kRescanPeriodMs);
}

void CDeviceMsgDlg::OnDeviceChange(platform::DialogWindow&, const platform::DeviceChange& change) {
  if (change.event == platform::kDbtDeviceArrival) {
    RewriteDriveList();
    // The thread holds the services and slots for as long as it runs, since
    // nobody waits for it. Its boxes have no owner: the window may be gone
    // before they are shown.
    services_->StartThread([services = services_, state = state_] {
      RunScanPass(*services, *state, nullptr);
    });
  } else if (change.event == platform::kDbtDeviceRemoveComplete) {
    DriveRemoved(change);
  }
}

void CDeviceMsgDlg::DriveRemoved(const platform::DeviceChange& change) {
  if (!platform::GlobalAtomExists(kSuspendAtom) && state_->auditLevel.load() > 0 &&
      change.hasHeader && change.deviceType == platform::kDbtDevtypVolume) {
    for (int i = 0; i < kDriveCount; ++i) {
      if (change.unitMask & (1u << i)) {
        services_->StopDriveAudit(static_cast<char>('A' + i));  // the lowest drive only
        break;
      }
    }
  }
  RewriteDriveList();
  std::string upper = driveList_;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; });
  // The system's drive list can still show a drive when its volume's removal
  // arrives (Wine refreshes it at most once a second): a drive the removal
  // names is gone when its volume no longer answers. One that still answers
  // is present, so a removal any process can post for a disk still in place
  // re-arms nothing.
  const bool volume = change.hasHeader && change.deviceType == platform::kDbtDevtypVolume;
  const std::uint32_t named = volume ? change.unitMask : 0;
  for (int i = 0; i < kDriveCount; ++i) {
    const char letter = static_cast<char>('A' + i);
    const bool listed = !upper.empty() && upper.find(letter) != std::string::npos;
    if (!listed || ((named & (1u << i)) && !services_->VolumeAnswers(letter))) {
      state_->slots[static_cast<std::size_t>(i)].handled.store(0);
    }
  }
}

int RunDeviceWatch(std::shared_ptr<AdmissionServices> services) {
  platform::Ui& ui = services->Ui();
  CDeviceMsgDlg window(services, std::make_shared<AdmissionState>());
  if (ui.RunModal(CDeviceMsgDlg::kTemplate, window) == -1) services->Log("Error:DeviceWatch window not created");
  return 0;
}

}  // namespace torvane::admission
