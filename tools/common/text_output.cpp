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

void PrintLineTo(std::string_view ansi, ConsoleWriter console, std::FILE* out) {
  if (!RawOutput() && console) {
    // What was printed through stdio comes first.
    std::fflush(out);
    std::u16string text = platform::AnsiToUtf16(ansi);
    text += u'\n';
    const std::size_t shown = console(text);
    if (shown >= text.size()) return;
    // The console failed partway: the rest goes through stdio, and what it
    // already showed is not written again.
    const std::string rest = platform::Utf16ToUtf8(std::u16string_view(text).substr(shown));
    std::fwrite(rest.data(), 1, rest.size(), out);
    std::fflush(out);
    return;
  }
  const std::string text = RawOutput() ? std::string(ansi) : platform::Utf16ToUtf8(platform::AnsiToUtf16(ansi));
  std::fwrite(text.data(), 1, text.size(), out);
  std::fputc('\n', out);
  std::fflush(out);
}

void PrintLine(std::string_view ansi) {
  PrintLineTo(ansi, ToConsole() ? platform::WriteStdoutConsole : nullptr, stdout);
}

std::string ArgToAnsi(const std::string& arg) {
#ifdef _WIN32
  return arg;
#else
  return platform::Utf16ToAnsi(platform::Utf8ToUtf16(arg));
#endif
}

}  // namespace torvane::tools
