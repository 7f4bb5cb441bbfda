// torvane-host watch DRIVE: audits a drive root as the library does for an
// unlocked disk and prints each event text as it would be reported (as
// tools/common/text_output.h says), until interrupted or, with
// --seconds N, for N seconds. With --report DIR each event is also
// reported as in production, with DIR as the host directory (its
// kolMera2.ini names the server; undelivered events go to its "info2.sys"),
// and the line ends in " -> delivered" or " -> stored". On POSIX the drive
// letter must be mapped: TORVANE_DRIVE_MAP="e=/media/usb0".
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
#include "platform/host_dir.h"
#include "report/reporter.h"
#include "tools/host/output.h"
#include "tools/host/commands.h"

namespace torvane::host {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

int WatchUsage() {
  std::fprintf(stderr, "usage: torvane-host watch DRIVE [--seconds N] [--report DIR]\n");
  return 2;
}

}  // namespace

int RunWatch(const Args& args) {
  if (args.empty() || args[0].empty()) return WatchUsage();
  const char letter = args[0][0];
  if (!((letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z'))) return WatchUsage();
  long seconds = -1;
  bool report = false;
  for (std::size_t i = 1; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) return WatchUsage();
    if (args[i] == "--seconds") {
      seconds = std::strtol(args[i + 1].c_str(), nullptr, 10);
      if (seconds <= 0) return WatchUsage();
    } else if (args[i] == "--report") {
      std::string dir = args[i + 1];
      if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += platform::kPathSeparator;
      config::SetHostDirectoryOverride(dir);
      report = true;
    } else {
      return WatchUsage();
    }
  }

  const std::string root = filewatch::DriveRootPath(letter);
  if (!platform::IsDirectoryPath(root)) {
    std::fprintf(stderr, "torvane-host: %s is not a directory here\n", root.c_str());
    return 1;
  }
  filewatch::SetAuditReporter([report](std::string_view text, std::int32_t type) {
    const char* outcome = "";
    if (report) outcome = report::ReportEvent(text, type) == 0 ? " -> delivered" : " -> stored";
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
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!g_interrupted && (seconds < 0 || std::chrono::steady_clock::now() < end))
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  filewatch::StopAllAudits();
  return 0;
}

}  // namespace torvane::host
