#include "admission/disk_recheck.h"

#include "admission/event_text.h"
#include "admission/texts.h"

namespace torvane::admission {

DiskAtLetter RecheckDisk(AdmissionServices& services, platform::DialogWindow& window,
                         SecureDisk& disk, char letter, const DiskIds& expected) {
  auto box = [&](const char* text) {
    services.Ui().MessageBox(&window, text, text::kCaptionFailure, platform::kMbIconExclamation);
  };
  DiskIds now;
  if (!ReadDiskIds(disk, letter, now)) {
    box(text::kNoClassifiedDisk);
    return DiskAtLetter::kUnreadable;
  }
  if (SameDisk(now, expected)) return DiskAtLetter::kSame;
  const EventText t = FormatEventText(text::kDiskSwapped, letter, expected.serial, now.serial);
  services.Report(t.view(), kEventType);
  services.Log(LogSafeText(t.view()));
  box(t.c_str());
  return DiskAtLetter::kSwapped;
}

}  // namespace torvane::admission
