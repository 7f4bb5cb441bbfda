#pragma once
// The platform's default alert sound (MessageBeep(0xFFFF) on Windows; the
// terminal bell is no use to a library, so nothing on POSIX).
namespace torvane::platform {

void AlertBeep();

}  // namespace torvane::platform
