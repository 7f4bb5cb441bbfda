#include "tools/common/seconds_arg.h"

#include <charconv>

namespace torvane::tools {

bool ParseSeconds(std::string_view text, long long* seconds) {
  long long value = 0;
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || at != end || text.empty() || text[0] == '-') return false;
  if (value < 1 || value > kMaxSeconds) return false;
  *seconds = value;
  return true;
}

std::string SecondsRangeText() {
  return "--seconds takes a whole number from 1 to " + std::to_string(kMaxSeconds) + " (ten years)";
}

}  // namespace torvane::tools
