#include "tools/host/output.h"

#include <atomic>
#include <cstdio>

#include "platform/codepage.h"
#include "platform/utf8.h"

namespace torvane::host {
namespace {

std::atomic<bool> g_raw{false};

}  // namespace

void SetRawOutput(bool raw) { g_raw.store(raw); }
bool RawOutput() { return g_raw.load(); }

std::string Printable(std::string_view ansi) {
  if (RawOutput()) return std::string(ansi);
  return platform::Utf16ToUtf8(platform::AnsiToUtf16(ansi));
}

void PrintLine(std::string_view ansi) {
  const std::string out = Printable(ansi);
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

}  // namespace torvane::host
