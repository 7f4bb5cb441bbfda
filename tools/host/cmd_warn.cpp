// torvane-host warn: shows the warning box through the shipped library,
// loaded at run time by its full path, as the host agent does.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/codepage.h"
#include "platform/dynamic_library.h"
#include "platform/utf8.h"
#include "tools/host/commands.h"
#include "tools/host/shipped_library.h"
#include "warn/show_warn_info.h"

namespace torvane::host {
namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: torvane-host warn [--library PATH] CAPTION TEXT\n"
               "  CAPTION and TEXT in UTF-8; they reach ShowWarnInfo in the ANSI code page (GBK).\n"
               "  POSIX: the box runs under the scripted UI (TORVANE_UI_SCRIPT, TORVANE_UI_TRANSCRIPT).\n");
  return 2;
}

}  // namespace

int RunWarn(const Args& args) {
  std::string library = ShippedLibraryPath();
  std::size_t i = 0;
  if (args.size() >= 2 && args[0] == "--library") {
    library = args[1];
    i = 2;
  }
  if (args.size() != i + 2) return Usage();
  // Always by full path: never through the search path or the current folder.
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(library, ec);
  if (ec) return Usage();
  platform::DynamicLibrary lib = platform::DynamicLibrary::Open(full.string());
  if (!lib.loaded()) {
    std::fprintf(stderr, "torvane-host: cannot load %s: %s\n", full.string().c_str(), lib.error().c_str());
    return 1;
  }
  const auto show = reinterpret_cast<ShowWarnInfoFunction>(lib.Symbol("ShowWarnInfo"));
  if (!show) {
    std::fprintf(stderr, "torvane-host: %s has no ShowWarnInfo\n", full.string().c_str());
    return 1;
  }
  const std::string caption = platform::Utf16ToAnsi(platform::Utf8ToUtf16(args[i]));
  const std::string text = platform::Utf16ToAnsi(platform::Utf8ToUtf16(args[i + 1]));
  const std::int32_t result = show(caption.c_str(), text.c_str());
  std::printf("ShowWarnInfo returned %d\n", static_cast<int>(result));
  return 0;
}

}  // namespace torvane::host
