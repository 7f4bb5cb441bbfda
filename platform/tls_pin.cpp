// The platform-neutral parts of the TLS stream: reading a configured pin
// and naming a failure for the operation log.
#include <cstddef>

#include "platform/tls_stream.h"

namespace torvane::platform {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string_view TlsFailureName(TlsFailure failure) {
  switch (failure) {
    case TlsFailure::kNone:
      return "none";
    case TlsFailure::kUntrusted:
      return "untrusted";
    case TlsFailure::kExpired:
      return "expired";
    case TlsFailure::kNameMismatch:
      return "name mismatch";
    case TlsFailure::kPinMismatch:
      return "pin mismatch";
    case TlsFailure::kHandshakeFailed:
      return "handshake failed";
  }
  return "handshake failed";
}

std::optional<TlsPin> ParseTlsPin(std::string_view text) {
  TlsPin pin{};
  std::size_t digits = 0;
  for (const char c : text) {
    if (c == ':' || c == ' ' || c == '\t') continue;
    const int value = HexValue(c);
    if (value < 0 || digits >= 2 * pin.size()) return std::nullopt;
    pin[digits / 2] = static_cast<std::uint8_t>((pin[digits / 2] << 4) | value);
    ++digits;
  }
  if (digits != 2 * pin.size()) return std::nullopt;
  return pin;
}

}  // namespace torvane::platform
