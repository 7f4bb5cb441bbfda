#pragma once
// Everything the admission path calls outside itself, behind one interface so
// that tests can stand in for it. The production binding forwards to the
// event reporter, the operation log, the file activity monitor, the loaded
// secure-disk library and the platform (admission/production_services.h).
// Configuration, named flags and the suspend atom are read directly.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "admission/secure_disk.h"
#include "platform/dialog.h"

namespace torvane::admission {

inline constexpr std::int32_t kEventType = 2;  // every admission event

class AdmissionServices {
 public:
  virtual ~AdmissionServices() = default;

  // ReportEvent: one event to the management server (or the store).
  virtual void Report(std::string_view text, std::int32_t eventType) = 0;
  // WriteOperationLog: one time-stamped line; failures are ignored.
  virtual void Log(std::string_view text) = 0;

  // File activity monitor: watch drive `letter`'s root, stop every watch,
  // stop the watch of one drive (upper-case letter on removal).
  virtual void StartDriveAudit(char letter) = 0;
  virtual void StopAllAudits() = 0;
  virtual void StopDriveAudit(char letter) = 0;

  // The secure-disk library, or nullptr when it cannot be had (the reason
  // is then already in the operation log).
  virtual SecureDisk* Disk() = 0;

  virtual platform::Ui& Ui() = 0;

  // Seconds since 1970-01-01 UTC.
  virtual std::int64_t Now() = 0;

  // Dismounts drive `letter`'s volume; false when the volume could not be
  // opened.
  virtual bool DismountVolume(char letter) = 0;
  // Starts the program at the full path `program`, without arguments, shown
  // normally, without waiting for it.
  virtual void StartProgram(const std::string& program) = 0;

  // What GetLogicalDriveStringsA gives: roots like "E:\" each ended by NUL.
  virtual std::string LogicalDriveStrings() = 0;
  // Whether drive `letter`'s volume answers now (platform/volume.h).
  virtual bool VolumeAnswers(char letter) = 0;

  // Runs `body` on a new thread that nobody waits for; false when no thread
  // could be started.
  virtual bool StartThread(std::function<void()> body) = 0;
};

}  // namespace torvane::admission
