#include "report/store_record_frame.h"

namespace torvane::report {
namespace {

// The terminal's identifier: printable ASCII, at most this long. A damaged
// block is almost never all printable, so it cannot pass for one.
constexpr std::size_t kMaxGuid = 256;
constexpr std::string_view kTimeShape = "dddd-dd-dd dd:dd:dd";
constexpr std::size_t kMaxTypeDigits = 10;

bool Digit(char c) { return c >= '0' && c <= '9'; }

bool TimeStampAt(std::string_view plain, std::size_t at) {
  if (plain.size() - at < kTimeShape.size()) return false;
  for (std::size_t i = 0; i < kTimeShape.size(); ++i) {
    const char c = plain[at + i];
    if (kTimeShape[i] == 'd' ? !Digit(c) : c != kTimeShape[i]) return false;
  }
  return true;
}

}  // namespace

std::size_t RecordHeaderEnd(std::string_view plain, std::size_t at) {
  std::size_t bar = at;
  while (bar < plain.size() && bar - at <= kMaxGuid) {
    const char c = plain[bar];
    if (c == '|') break;
    if (c < 0x20 || c > 0x7e) return std::string_view::npos;
    ++bar;
  }
  if (bar >= plain.size() || bar - at > kMaxGuid) return std::string_view::npos;
  const std::size_t when = bar + 1;
  if (!TimeStampAt(plain, when)) return std::string_view::npos;
  const std::size_t after = when + kTimeShape.size();
  if (after >= plain.size() || plain[after] != '|') return std::string_view::npos;
  return after + 1;
}

std::size_t RecordTerminatorStart(std::string_view plain, std::size_t end) {
  if (end > plain.size() || end < 4 || plain[end - 1] != ',' || plain[end - 2] != '|')
    return std::string_view::npos;
  std::size_t at = end - 2;
  std::size_t digits = 0;
  while (at > 0 && Digit(plain[at - 1]) && digits <= kMaxTypeDigits) {
    --at;
    ++digits;
  }
  if (digits == 0 || digits > kMaxTypeDigits || at == 0) return std::string_view::npos;
  if (plain[at - 1] == '-') --at;
  if (at == 0 || plain[at - 1] != '|') return std::string_view::npos;
  return at - 1;
}

bool HoldsFrameDebris(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\0') return true;
    if (bytes[i] != '|') continue;
    if (i + 5 <= bytes.size() && Digit(bytes[i + 1]) && Digit(bytes[i + 2]) &&
        Digit(bytes[i + 3]) && Digit(bytes[i + 4]))
      return true;
    if (i >= 4 && Digit(bytes[i - 1]) && Digit(bytes[i - 2]) && bytes[i - 3] == ':' &&
        Digit(bytes[i - 4]))
      return true;
  }
  return false;
}

}  // namespace torvane::report
