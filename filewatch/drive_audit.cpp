#include "filewatch/drive_audit.h"

#include "filewatch/file_audit_sink.h"
#include "filewatch/ref.h"

namespace torvane::filewatch {

// Never destroyed: at process exit the worker and notification threads are
// already gone, and a stop would wait for them for ever. A host that unloads
// the library calls StopAllAudits first.
FolderMonitor& FileMonitor() {
  static FolderMonitor& monitor = *new FolderMonitor;
  return monitor;
}

std::recursive_mutex& AuditLock() {
  static std::recursive_mutex& lock = *new std::recursive_mutex;
  return lock;
}

std::string DriveRootPath(char letter) {
  std::string root = "?:\\";
  root[0] = letter;
  return root;
}

bool StartDriveAudit(char letter) {
  const std::string root = DriveRootPath(letter);
  std::lock_guard guard(AuditLock());
  const Ref<FileAuditSink> sink = MakeRef<FileAuditSink>();
  if (sink) FileMonitor().WatchFolder(root, kAuditNotifyFilter, sink.get(), true);
  return true;
}

bool StopAllAudits() {
  try {
    std::lock_guard guard(AuditLock());
    FileMonitor().UnwatchAll();
  } catch (...) {
    return false;
  }
  return true;
}

bool StopDriveAudit(char letter) { return FileMonitor().UnwatchFolder(DriveRootPath(letter)); }

}  // namespace torvane::filewatch
