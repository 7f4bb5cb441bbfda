// torvane-host report: hands one event to the reporter, as the library's
// callers do (type 2), and says whether the server took it or it was stored.
#include <cstdio>
#include <string>

#include "config/host_directory.h"
#include "platform/codepage.h"
#include "platform/host_dir.h"
#include "report/reporter.h"
#include "report/store_format.h"
#include "tools/host/commands.h"

namespace torvane::host {
namespace {

// The command line's text in the ANSI code page: on Windows the arguments
// already are; elsewhere they are UTF-8.
std::string ToAnsi(const std::string& arg) {
#ifdef _WIN32
  return arg;
#else
  std::u16string wide;
  for (std::size_t i = 0; i < arg.size();) {
    const auto b = static_cast<unsigned char>(arg[i]);
    const std::size_t len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1Fu) : len == 3 ? (b & 0x0Fu) : (b & 0x07u);
    for (std::size_t k = 1; k < len && i + k < arg.size(); ++k) {
      cp = (cp << 6) | (static_cast<unsigned char>(arg[i + k]) & 0x3Fu);
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      wide += static_cast<char16_t>(0xD800 + (cp >> 10));
      wide += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      wide += static_cast<char16_t>(cp);
    }
  }
  return platform::Utf16ToAnsi(wide);
#endif
}

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
  const int result = report::ReportEvent(ToAnsi(args[i]), 2);
  if (result == 0) {
    std::printf("delivered\n");
  } else {
    std::printf("not delivered: handed to the store %s%s\n", config::HostDirectory().c_str(),
                report::kWarningStoreName);
  }
  return result == 0 ? 0 : 1;
}

}  // namespace torvane::host
