#include "admission/scan_pass.h"

#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "admission/authorization.h"
#include "admission/disk_ids.h"
#include "admission/event_text.h"
#include "admission/input_dlg.h"
#include "admission/kernel_names.h"
#include "admission/texts.h"
#include "config/config.h"
#include "platform/atom.h"
#include "platform/named_flag.h"

namespace torvane::admission {
namespace {

enum class Next { kDrive, kEndPass };

// A negative difference (the clock went back) counts as within the window.
bool WithinReinsertWindow(std::int64_t now, std::int64_t last) {
  if (now < last) return true;
  return static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(last) <
         static_cast<std::uint64_t>(kReinsertSeconds);
}

// Holds a named existence flag; a failure to create it is logged and the
// pass goes on without it, as a missing handle would.
std::optional<platform::NamedFlag> TakeFlag(AdmissionServices& services, const char* name) {
  platform::NamedFlag flag = platform::NamedFlag::Create(name);
  if (flag.status() == platform::NamedFlag::Status::kAlreadyExists) return std::nullopt;
  if (flag.status() == platform::NamedFlag::Status::kFailed) {
    services.Log(FormatEventText("Error: cannot create %s (error %d)", name, flag.error()).view());
  }
  return flag;
}

class Pass {
 public:
  Pass(AdmissionServices& services, AdmissionState& state, SecureDisk& disk,
       platform::DialogWindow* owner)
      : services_(services), state_(state), disk_(disk), owner_(owner) {}

  void Run() {
    reg_ = config::ReadReg();
    const std::uint32_t mask = disk_.GetUsbStorageDriver();
    for (int i = 0; i < kDriveCount; ++i) {
      if ((mask & (1u << i)) == 0) continue;
      if (HandleDrive(static_cast<char>('a' + i), state_.slots[static_cast<std::size_t>(i)]) ==
          Next::kEndPass) {
        return;
      }
    }
  }

 private:
  Next HandleDrive(char letter, DriveSlot& slot) {
    if (!ReadDiskIds(disk_, letter, ids_)) return Next::kDrive;
    if (slot.handled.load() > 0) return Next::kDrive;
    const std::int64_t detected = services_.Now();
    if (disk_.IsDIZaraz(letter) == 0) {
      Ordinary(letter, slot);
      return Next::kDrive;
    }
    return Classified(letter, slot, detected);
  }

  void Remember(char letter, DriveSlot& slot) {
    slot.letter.assign(1, letter);
    slot.pid = ids_.pid;
    slot.serial = ids_.serial;
    slot.vid = ids_.vid;
  }

  void Ordinary(char letter, DriveSlot& slot) {
    slot.handled.store(1);
    Remember(letter, slot);
    const EventText t = FormatEventText(text::kOrdinaryInserted, letter, ids_.serial, ids_.vid, ids_.pid);
    services_.Log(LogSafeText(t.view()));  // the report below keeps the disk's bytes
    if (config::ReadGenericUDisk() == 0) return;
    if (disk_.OpenUDisk(letter) == 0) services_.Log(text::kOpenOrdinaryFailed);
    services_.Report(t.view(), kEventType);
  }

  Next Classified(char letter, DriveSlot& slot, std::int64_t detected) {
    if (reg_ == "0") return Next::kDrive;  // not registered with the suite: look again later
    slot.handled.store(1);
    if (slot.serial == ids_.serial && slot.pid == ids_.pid && slot.vid == ids_.vid &&
        slot.letter == std::string(1, letter)) {
      if (WithinReinsertWindow(detected, slot.lastHandled)) return Next::kDrive;
      slot.lastHandled = services_.Now();
    } else {
      Remember(letter, slot);
      slot.lastHandled = services_.Now();
    }

    disk_.IsDIZaraz(letter);  // makes this the disk of the letter-less calls
    RegInfo reg{};
    const std::int32_t loaded = disk_.LoadRegInfo(&reg);
    if (loaded != 0) {
      const EventText t = FormatEventText(text::kRegistrationFailed, letter, ids_.serial, loaded);
      services_.Report(t.view(), kEventType);
      Box(t, text::kCaptionFailure, platform::kMbIconExclamation);
      return Next::kDrive;
    }
    reg.ownerName[sizeof reg.ownerName - 1] = '\0';
    services_.Report(FormatEventText(text::kClassifiedInserted, letter, ids_.serial, reg.ownerName).view(),
                     kEventType);

    std::optional<platform::NamedFlag> dialogFlag = TakeFlag(services_, kPasswordDialogFlag);
    if (!dialogFlag) return Next::kEndPass;  // another password dialog is up

    const bool general = config::ReadGeneral() != 0 && reg.generalAllowed != 0;
    std::optional<AuthorizationList> list;
    std::int32_t accessValue = 0;
    if (general) {
      services_.Report(FormatEventText(text::kGeneralPolicy, letter, ids_.serial).view(), kEventType);
    } else {
      services_.Report(FormatEventText(text::kRestrictedPolicy, letter, ids_.serial).view(), kEventType);
      list = CheckAuthorization(services_, disk_, reg, letter, ids_.serial, owner_);
      if (!list) return Next::kDrive;
      accessValue = list->entries[list->matched].accessValue;  // sign-extended
    }

    CInputDlg dialog(services_, letter, ids_, accessValue);
    if (services_.Ui().RunModal(CInputDlg::kTemplate, dialog) == platform::kIdOk) {
      // The list and the audit belong to the disk that was checked; another
      // one put in at the letter since gets neither.
      DiskIds now;
      const bool read = ReadDiskIds(disk_, letter, now);
      if (read && SameDisk(now, ids_)) {
        if (list) ConsumeUse(services_, disk_, *list, letter, ids_.serial, owner_);
        SwitchAudit(letter);
      } else {
        const EventText t = FormatEventText(text::kDiskSwapped, letter, ids_.serial, now.serial);
        services_.Report(t.view(), kEventType);
        services_.Log(LogSafeText(t.view()));
        Box(t, text::kCaptionFailure, platform::kMbIconExclamation);
      }
    }
    slot.lastHandled = services_.Now();
    return Next::kDrive;  // the dialog flag and the list go here
  }

  // Watches the drive just opened when file auditing is on; a change of the
  // audit level first stops every watch.
  void SwitchAudit(char letter) {
    const std::int32_t level = config::ReadUfileAudit();
    if (level != state_.auditLevel.load()) {
      state_.auditLevel.store(level);
      services_.StopAllAudits();
      if (level > 0) services_.StartDriveAudit(letter);
    } else if (level > 0) {
      services_.StartDriveAudit(letter);
    }
  }

  void Box(const EventText& t, const char* caption, unsigned icon) {
    services_.Ui().MessageBox(owner_, t.view(), caption, icon);
  }

  AdmissionServices& services_;
  AdmissionState& state_;
  SecureDisk& disk_;
  platform::DialogWindow* owner_;
  std::string reg_;
  DiskIds ids_;
};

// What a running pass holds: the progress flag and, within the process, the
// pass lock. The lock goes first when it ends, then the flag.
struct PassHold {
  std::optional<platform::NamedFlag> flag;
  std::unique_lock<std::mutex> lock;
};

std::optional<PassHold> TryHoldPass(AdmissionServices& services, AdmissionState& state) {
  PassHold hold{TakeFlag(services, kProgressFlag), {}};
  if (!hold.flag) return std::nullopt;
  // Passes are serialised by the flag; this lock makes the ordering of their
  // slot writes visible to the language's memory model as well. Should the
  // flag have failed, it still keeps a nested pass (a timer during a dialog)
  // out.
  hold.lock = std::unique_lock<std::mutex>(state.passLock, std::try_to_lock);
  if (!hold.lock.owns_lock()) return std::nullopt;
  return hold;
}

}  // namespace

int RunScanPass(AdmissionServices& services, AdmissionState& state, platform::DialogWindow* owner) {
  do {
    if (platform::GlobalAtomExists(kSuspendAtom)) return 0;
    std::optional<PassHold> hold = TryHoldPass(services, state);
    if (!hold) {
      // Another pass runs: it runs once more when it ends. It may have ended
      // between the try and the mark, so look once more.
      state.rescan.store(true);
      hold = TryHoldPass(services, state);
      if (!hold) return 0;
    }
    // Every arrival until now is covered by this pass, which reads the drive
    // mask after this point.
    state.rescan.store(false);
    SecureDisk* disk = services.Disk();
    if (!disk) return 0;
    Pass(services, state, *disk, owner).Run();
  } while (state.rescan.load());  // the hold was let go first
  return 0;
}

}  // namespace torvane::admission
