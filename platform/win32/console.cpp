#include <windows.h>

#include <algorithm>

#include "platform/console.h"

namespace torvane::platform {
namespace {

// GetConsoleMode succeeds only on a console handle: not on a file, a pipe or
// the NUL device (which is a character device too).
bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

}  // namespace

bool StdoutIsConsole() { return IsConsole(::GetStdHandle(STD_OUTPUT_HANDLE)); }

std::size_t WriteStdoutConsole(std::u16string_view text) {
  const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (!IsConsole(out)) return 0;
  const std::size_t total = text.size();
  // Older consoles refuse very large writes; a few thousand characters at a
  // time always go through.
  constexpr std::size_t kChunk = 8192;
  while (!text.empty()) {
    std::size_t n = std::min(text.size(), kChunk);
    // A character outside the BMP is not split between two writes.
    if (n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    const auto* chars = reinterpret_cast<const wchar_t*>(text.data());
    DWORD written = 0;
    const BOOL ok = ::WriteConsoleW(out, chars, static_cast<DWORD>(n), &written, nullptr);
    // What a failing write still took counts as shown.
    text.remove_prefix(std::min<std::size_t>(written, n));
    if (!ok || written == 0) break;
  }
  return total - text.size();
}

}  // namespace torvane::platform
