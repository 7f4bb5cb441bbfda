#include "platform/clock.h"

#include <cstdio>

namespace torvane::platform {

std::string FormatTimeStamp(const LocalTime& t) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year,
                              t.month, t.day, t.hour, t.minute, t.second);
  return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

}  // namespace torvane::platform
