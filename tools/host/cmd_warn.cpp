// torvane-host warn: shows the warning box through the shipped library,
// loaded at run time by its full path, as the host agent does.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/codepage.h"
#include "platform/dynamic_library.h"
#include "tools/host/commands.h"
#include "warn/show_warn_info.h"

namespace torvane::host {
namespace {

// UTF-8 from the command line to UTF-16; a malformed sequence becomes
// U+FFFD (and then '?' in the ANSI code page).
std::u16string FromUtf8(const std::string& in) {
  std::u16string out;
  for (std::size_t i = 0; i < in.size();) {
    const auto b = static_cast<unsigned char>(in[i]);
    std::uint32_t c = 0xFFFD;
    std::size_t n = 1;
    if (b < 0x80) {
      c = b;
    } else if (b >= 0xC2 && b < 0xF5) {
      const std::size_t len = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
      std::uint32_t v = b & (0x7F >> len);
      std::size_t k = 1;
      for (; k < len && i + k < in.size() && (static_cast<unsigned char>(in[i + k]) & 0xC0) == 0x80; ++k)
        v = (v << 6) | (static_cast<unsigned char>(in[i + k]) & 0x3F);
      const bool overlong = (len == 3 && v < 0x800) || (len == 4 && v < 0x10000);
      if (k == len && !overlong && v <= 0x10FFFF && !(v >= 0xD800 && v < 0xE000)) c = v;
      n = k;
    }
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += n;
  }
  return out;
}

int Usage() {
  std::fprintf(stderr,
               "usage: torvane-host warn [--library PATH] CAPTION TEXT\n"
               "  CAPTION and TEXT in UTF-8; they reach ShowWarnInfo in the ANSI code page (GBK).\n"
               "  POSIX: the box runs under the scripted UI (TORVANE_UI_SCRIPT, TORVANE_UI_TRANSCRIPT).\n");
  return 2;
}

}  // namespace

int RunWarn(const Args& args) {
  std::string library = TORVANE_SHIPPED_LIBRARY;
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
  const std::string caption = platform::Utf16ToAnsi(FromUtf8(args[i]));
  const std::string text = platform::Utf16ToAnsi(FromUtf8(args[i + 1]));
  const std::int32_t result = show(caption.c_str(), text.c_str());
  std::printf("ShowWarnInfo returned %d\n", static_cast<int>(result));
  return 0;
}

}  // namespace torvane::host
