// torvane-host watch DRIVE: audits a drive root as the library does for an
// unlocked disk and prints each event text as it would be reported (as
// tools/common/text_output.h says), until interrupted or, with
// --seconds N, for N seconds. With --report DIR each event is also
// reported as in production, with DIR as the host directory (its
// kolMera2.ini names the server; undelivered events go to its "info2.sys"),
// and the line ends in " -> delivered" or " -> stored (why)". On POSIX the
// drive letter must be mapped to a folder, as the other subcommands take it:
// --drive E=DIR (repeatable; DRIVE may then be left out when one is given),
// or TORVANE_DRIVE_MAP="e=/media/usb0". On Windows --drive defines the
// letter for DIR as subst does.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "config/host_directory.h"
#include "filewatch/audit_reporter.h"
#include "filewatch/drive_audit.h"
#include "platform/dir_changes.h"
#include "platform/drive_map.h"
#include "platform/host_dir.h"
#include "report/delivery_note.h"
#include "report/reporter.h"
#include "tools/common/seconds_arg.h"
#include "tools/host/output.h"
#include "tools/host/commands.h"

namespace torvane::host {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

int WatchUsage() {
  std::fprintf(stderr, "usage: torvane-host watch DRIVE [--seconds N] [--report DIR] [--drive X=DIR]...\n"
                       "       torvane-host watch --drive X=DIR [--seconds N] [--report DIR]\n");
  return 2;
}

}  // namespace

int RunWatch(const Args& args) {
  const bool named = !args.empty() && !args[0].empty() && args[0][0] != '-';
  char letter = named ? args[0][0] : '\0';
  char mapped = '\0';
  long long seconds = -1;
  bool report = false;
  for (std::size_t i = named ? 1 : 0; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) return WatchUsage();
    if (args[i] == "--seconds") {
      if (!tools::ParseSeconds(args[i + 1], &seconds)) {
        std::fprintf(stderr, "torvane-host: %s\n", tools::SecondsRangeText().c_str());
        return WatchUsage();
      }
    } else if (args[i] == "--drive") {
      const std::string& map = args[i + 1];
      if (map.size() < 3 || map[1] != '=' || !platform::SetDriveRoot(map[0], map.substr(2))) {
        std::fprintf(stderr, "torvane-host: bad drive mapping %s\n", map.c_str());
        return 2;
      }
      mapped = mapped == '\0' ? map[0] : '-';  // '-': more than one
    } else if (args[i] == "--report") {
      std::string dir = args[i + 1];
      if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += platform::kPathSeparator;
      config::SetHostDirectoryOverride(dir);
      report = true;
    } else {
      return WatchUsage();
    }
  }

  if (!named && mapped != '-') letter = mapped;
  if (!((letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z'))) return WatchUsage();

  const std::string root = filewatch::DriveRootPath(letter);
  if (!platform::IsDirectoryPath(root)) {
    std::fprintf(stderr, "torvane-host: %s is not a directory here%s\n", root.c_str(),
#ifdef _WIN32
                 ""
#else
                 " (map the drive to a folder: --drive X=DIR)"
#endif
    );
    return 1;
  }
  filewatch::SetAuditReporter([report](std::string_view text, std::int32_t type) {
    std::string outcome;
    if (report) {
      report::DeliveryNote note;
      if (report::ReportEvent(text, type, platform::LocalTimeNow, report::MonotonicNow, &note) == 0) {
        outcome = " -> delivered";
      } else {
        outcome = note.store == report::DeliveryNote::Store::kStored ? " -> stored (" : " -> dropped (";
        outcome += report::UndeliveredReason(note) + ")";
      }
    }
    PrintLine("[" + std::to_string(type) + "] " + std::string(text) + outcome);
  });
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  filewatch::StartDriveAudit(letter);
  if (filewatch::FileMonitor().WatchCount() == 0) {
    std::fprintf(stderr, "torvane-host: %s could not be watched\n", root.c_str());
    return 1;
  }
  std::fprintf(stderr, "watching %s\n", root.c_str());
  // Bounded by ParseSeconds: far inside the clock's range.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds > 0 ? seconds : 0);
  while (!g_interrupted && (seconds < 0 || std::chrono::steady_clock::now() < end))
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  filewatch::StopAllAudits();
  return 0;
}

}  // namespace torvane::host
