#pragma once
// The drive-level operations of file auditing, as the scan pass and the
// device watch window call them. Drive roots are "%c:\" of the letter given;
// each watched drive has its own FileAuditSink, the whole subtree watched
// for file and directory names, last writes and creation times.
#include <cstdint>
#include <mutex>
#include <string>

#include "filewatch/folder_monitor.h"

namespace torvane::filewatch {

// File names, directory names, last write, creation time.
inline constexpr std::uint32_t kAuditNotifyFilter = 0x53;

// The library's one monitor; it lives as long as the process.
FolderMonitor& FileMonitor();

// Serialises starting audits with stopping all of them (the scan pass takes
// it too around its own stop of all watches). Re-entrant.
std::recursive_mutex& AuditLock();

// "e:\" for 'e'.
std::string DriveRootPath(char letter);

// Starts watching the drive's root (replacing a watch of it). A failure is
// not reported anywhere. Always true.
bool StartDriveAudit(char letter);
// Stops every watch and the worker; false when stopping threw.
bool StopAllAudits();
// Stops the watch of the drive's root, if any (letter case does not matter).
bool StopDriveAudit(char letter);

}  // namespace torvane::filewatch
