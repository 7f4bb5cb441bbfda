// torvane-host report: hands one event to the reporter, as the library's
// callers do (type 2), and says whether the server took it or it was stored.
#include <cstdio>
#include <string>

#include "config/host_directory.h"
#include "platform/codepage.h"
#include "platform/host_dir.h"
#include "report/reporter.h"
#include "report/store_format.h"
#include "tools/host/output.h"
#include "tools/host/commands.h"

namespace torvane::host {
namespace {

int Usage() {
  std::fprintf(stderr, "usage: torvane-host report [--dir DIR] TEXT\n");
  return 2;
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
  const int result = report::ReportEvent(ArgToAnsi(args[i]), 2);
  if (result == 0) {
    std::printf("delivered\n");
  } else {
    PrintLine("not delivered: handed to the store " + config::HostDirectory() + report::kWarningStoreName);
  }
  return result == 0 ? 0 : 1;
}

}  // namespace torvane::host
