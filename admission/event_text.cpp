#include "admission/event_text.h"

#include <cstdarg>
#include <cstdio>

namespace torvane::admission {

std::size_t GbkPrefixLength(std::string_view text, std::size_t limit, bool continues) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool lead = c >= 0x81 && c <= 0xFE;
    const std::size_t step = lead && (continues || i + 1 < text.size()) ? 2 : 1;
    if (i + step > limit) break;
    i += step;
  }
  return i;
}

EventText FormatEventText(const char* format, ...) {
  EventText t;
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(t.buf_, sizeof t.buf_, format, args);
  va_end(args);
  if (n < 0) {
    t.buf_[0] = '\0';
    t.cut_ = true;
  } else if (static_cast<std::size_t>(n) >= sizeof t.buf_) {
    // vsnprintf kept 511 bytes of a longer text; a lead byte at their end
    // lost its trail byte and goes too.
    const std::string_view kept(t.buf_, sizeof t.buf_ - 1);
    t.buf_[GbkPrefixLength(kept, kept.size(), true)] = '\0';
    t.cut_ = true;
  }
  return t;
}

std::string LogSafeText(std::string_view text) {
  std::string safe(text);
  for (char& c : safe) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) c = kLogSubstitute;
  }
  return safe;
}

}  // namespace torvane::admission
