#pragma once
// Local wall-clock time and the system's time stamp text.
#include <string>

namespace torvane::platform {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

LocalTime LocalTimeNow();

// "%04d-%02d-%02d %02d:%02d:%02d"
std::string FormatTimeStamp(const LocalTime& t);

inline std::string LocalTimeStamp() { return FormatTimeStamp(LocalTimeNow()); }

}  // namespace torvane::platform
