#pragma once
// One scan pass: walks the drives the secure-disk library reports as USB
// storage, a to z, and handles each disk not handled yet at its letter.
// Ordinary disks are logged and, when allowed, opened and reported;
// classified disks go through registration, policy, authorization and the
// password dialog. Boxes are owned by `owner` (the device watch window, or
// nullptr). Always returns 0, so that it can be a thread's body.
//
// One pass runs at a time. A pass that finds another one running returns at
// once but leaves a mark, and the running pass, as it ends, runs once more:
// a disk that arrived meanwhile is handled then, without another broadcast.
#include "admission/drive_slots.h"
#include "admission/services.h"
#include "platform/dialog.h"

namespace torvane::admission {

// A disk seen again at its letter within this many seconds of its last
// handling is taken for a re-insert and ignored.
inline constexpr std::int64_t kReinsertSeconds = 20;

int RunScanPass(AdmissionServices& services, AdmissionState& state, platform::DialogWindow* owner);

}  // namespace torvane::admission
