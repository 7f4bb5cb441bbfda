#include "tools/common/text_output.h"

#include <atomic>
#include <cstdio>

#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/utf8.h"

namespace torvane::tools {
namespace {

std::atomic<bool> g_raw{false};

// Found once: standard output does not change while a tool runs.
bool ToConsole() {
  static const bool console = platform::StdoutIsConsole();
  return console;
}

}  // namespace

void SetRawOutput(bool raw) { g_raw.store(raw); }
bool RawOutput() { return g_raw.load(); }

void PrintLine(std::string_view ansi) {
  if (!RawOutput() && ToConsole()) {
    // What was printed through stdio comes first.
    std::fflush(stdout);
    std::u16string text = platform::AnsiToUtf16(ansi);
    text += u'\n';
    if (platform::WriteStdoutConsole(text)) return;
  }
  const std::string out = RawOutput() ? std::string(ansi) : platform::Utf16ToUtf8(platform::AnsiToUtf16(ansi));
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string ArgToAnsi(const std::string& arg) {
#ifdef _WIN32
  return arg;
#else
  return platform::Utf16ToAnsi(platform::Utf8ToUtf16(arg));
#endif
}

}  // namespace torvane::tools
