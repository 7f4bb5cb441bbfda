#include "tools/host/output.h"

#include <atomic>
#include <cstdio>

#include "platform/codepage.h"

namespace torvane::host {
namespace {

std::atomic<bool> g_raw{false};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

void SetRawOutput(bool raw) { g_raw.store(raw); }
bool RawOutput() { return g_raw.load(); }

std::string Printable(std::string_view ansi) {
  if (RawOutput()) return std::string(ansi);
  std::string out;
  const std::u16string wide = platform::AnsiToUtf16(ansi);
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t c = wide[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00u);
    }
    AppendUtf8(out, c);
  }
  return out;
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

}  // namespace torvane::host
