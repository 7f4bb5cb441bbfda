#pragma once
// The check both password dialogs make before the secure-disk library acts
// on the disk at their letter: it must still be the disk the dialog was
// opened for, since a decision made for one disk must never reach another.
#include "admission/disk_ids.h"
#include "admission/secure_disk.h"
#include "admission/services.h"
#include "platform/dialog.h"

namespace torvane::admission {

enum class DiskAtLetter { kSame, kUnreadable, kSwapped };

// Reads the ids at `letter` again. Unreadable ids are shown as "no classified
// disk" (the user may try again); another disk is reported, logged and shown
// with the swap text. The dialog is left to the caller.
DiskAtLetter RecheckDisk(AdmissionServices& services, platform::DialogWindow& window,
                         SecureDisk& disk, char letter, const DiskIds& expected);

}  // namespace torvane::admission
