#include <windows.h>

#include "platform/clock.h"

namespace torvane::platform {

LocalTime LocalTimeNow() {
  SYSTEMTIME st{};
  ::GetLocalTime(&st);
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

}  // namespace torvane::platform
