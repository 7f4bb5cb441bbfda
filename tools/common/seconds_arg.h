#pragma once
// The tools' --seconds N: a whole number of seconds from 1 to kMaxSeconds.
// The bound keeps every deadline computed from it far inside the clocks'
// range; past it the tool says so rather than running for some other time.
#include <string>
#include <string_view>

namespace torvane::tools {

inline constexpr long long kMaxSeconds = 315'360'000;  // ten years

// False (and *seconds untouched) unless `text` is all digits within the bound.
bool ParseSeconds(std::string_view text, long long* seconds);

// The message for a value ParseSeconds refused.
std::string SecondsRangeText();

}  // namespace torvane::tools
