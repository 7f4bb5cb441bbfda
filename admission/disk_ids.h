#pragma once
// The ids by which the admission path knows a disk at a letter: VID, PID and
// serial as the secure-disk library gives them. A disk can be pulled and
// another put in at the same letter while the password dialog is up, so the
// ids are read again before the disk is unlocked and before its list of
// authorized uses is stored back: a decision made for one disk must never
// be applied to another.
#include "admission/secure_disk.h"
#include "admission/selvik_records.h"

namespace torvane::admission {

struct DiskIds {
  char vid[kVidSize] = {};
  char pid[kPidSize] = {};
  char serial[kSerialSize] = {};
};

// Reads the ids of the disk at `letter`; false when the library fails. The
// texts always end in NUL within their buffers.
bool ReadDiskIds(SecureDisk& disk, char letter, DiskIds& ids);

// The same VID, PID and serial (exact byte comparison).
bool SameDisk(const DiskIds& a, const DiskIds& b);

}  // namespace torvane::admission
