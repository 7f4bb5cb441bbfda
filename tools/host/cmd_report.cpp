// torvane-host report: hands one event to the reporter, as the library's
// callers do (type 2), and says whether the server took it; if not, why
// not, and whether the record went to the store or was dropped (then with
// the operation log's lines that say why).
#include <cstdio>
#include <fstream>
#include <string>

#include "config/host_directory.h"
#include "platform/host_dir.h"
#include "report/delivery_note.h"
#include "report/operation_log.h"
#include "report/reporter.h"
#include "report/store_format.h"
#include "tools/host/commands.h"
#include "tools/host/output.h"

namespace torvane::host {
namespace {

int Usage() {
  std::fprintf(stderr, "usage: torvane-host report [--dir DIR] TEXT\n");
  return 2;
}

// The operation log's size now (0 when there is none).
std::streamoff LogSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  return in ? static_cast<std::streamoff>(in.tellg()) : 0;
}

// The log's lines written since it had `from` bytes (all of it when it was
// deleted and begun again meanwhile), at most a few kilobytes of them.
void PrintLogSince(const std::string& path, std::streamoff from) {
  constexpr std::streamoff kMost = 4096;
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return;
  const std::streamoff size = in.tellg();
  if (size < from) from = 0;
  if (size - from > kMost) from = size - kMost;
  in.seekg(from);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) PrintLine("  " + line);
  }
}

}  // namespace

int RunReport(const Args& args) {
  std::size_t i = 0;
  if (args.size() == 3 && args[0] == "--dir") {
    std::string dir = args[1];
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += platform::kPathSeparator;
    config::SetHostDirectoryOverride(dir);
    i = 2;
  } else if (args.size() != 1) {
    return Usage();
  }
  const std::string directory = config::HostDirectory();
  const std::string log = directory + report::kOperationLogName;
  const std::streamoff logBefore = LogSize(log);
  report::DeliveryNote note;
  const int result =
      report::ReportEvent(ArgToAnsi(args[i]), 2, platform::LocalTimeNow, report::MonotonicNow, &note);
  if (result == 0) {
    std::printf("delivered\n");
    return 0;
  }
  PrintLine("not delivered: " + report::UndeliveredReason(note));
  if (note.store == report::DeliveryNote::Store::kStored) {
    PrintLine("handed to the store " + PathToAnsi(directory + report::kWarningStoreName));
  } else {
    PrintLine("record dropped: the store " + PathToAnsi(directory + report::kWarningStoreName) +
              " did not take it; the operation log " + PathToAnsi(log) + " says:");
    PrintLogSince(log, logBefore);
  }
  return 1;
}

}  // namespace torvane::host
