#pragma once
// The 26 drive slots (index = letter - 'a') that record which disk the scan
// pass handled at each letter, so that a disk is handled once per insertion,
// and the remembered file-audit level. Scan passes are serialised by the
// progress flag and write every field; the window's thread writes only the
// handled flags (on removal), hence the atomics.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace torvane::admission {

struct DriveSlot {
  std::string letter;  // lower-case letter of the disk last handled here
  std::string vid;
  std::string pid;
  std::string serial;
  std::atomic<std::int32_t> handled{0};
  std::int64_t lastHandled = 0;  // seconds since 1970, UTC
};

inline constexpr int kDriveCount = 26;

struct AdmissionState {
  std::array<DriveSlot, kDriveCount> slots;
  // The last UfileAudit value the window or a scan pass acted on.
  std::atomic<std::int32_t> auditLevel{0};
  // Taken by a scan pass once it holds the progress flag.
  std::mutex passLock;
  // Set by a pass that found another one running (its arrival may have
  // brought a disk the running pass no longer looks for); the pass that
  // ends runs once more while it is set.
  std::atomic<bool> rescan{false};

  // Every slot empty and not handled, stamped with `now`.
  void ResetSlots(std::int64_t now);
};

}  // namespace torvane::admission
