#include <windows.h>

#include "platform/deadline.h"
#include "platform/stop_request.h"
#include "platform/win32/console_control.h"

namespace torvane::platform::stop_request {
namespace {

// A manual-reset event that the console control handler (run by the system
// on a thread of its own) and Request() set; it lives as long as the
// process, as the handler does.
HANDLE g_event = nullptr;

// Windows ends the process as soon as the handler returns from a console
// close, and at the latest about 5 s after the close. The handler holds on
// for most of that, so that the host can stop its work and end the process
// itself (which ends this wait with it).
constexpr DWORD kCloseGraceMs = 4500;

}  // namespace

bool Install(std::string* error) {
  if (g_event) return true;
  g_event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!g_event) {
    if (error) *error = "stop event: error " + std::to_string(::GetLastError());
    return false;
  }
  if (!::SetConsoleCtrlHandler(win32::OnConsoleControl, TRUE)) {
    if (error) *error = "console control handler: error " + std::to_string(::GetLastError());
    return false;
  }
  return true;
}

void Request() {
  if (g_event) ::SetEvent(g_event);
}

bool Wait(std::optional<std::chrono::milliseconds> limit) {
  if (!g_event) return false;
  // Waits longer than a DWORD's milliseconds are waited in steps.
  using Clock = std::chrono::steady_clock;
  const auto end = limit ? SteadyDeadline(*limit) : Clock::time_point::max();
  for (;;) {
    DWORD ms = INFINITE;
    if (limit) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now());
      if (left.count() <= 0) return false;
      ms = left.count() >= 0x7fffffff ? 0x7fffffff : static_cast<DWORD>(left.count());
    }
    const DWORD r = ::WaitForSingleObject(g_event, ms);
    if (r == WAIT_OBJECT_0) return true;
    if (r != WAIT_TIMEOUT) return false;
  }
}

}  // namespace torvane::platform::stop_request

namespace torvane::platform::win32 {

BOOL WINAPI OnConsoleControl(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      stop_request::Request();
      return TRUE;
    case CTRL_CLOSE_EVENT:
      stop_request::Request();
      ::Sleep(stop_request::kCloseGraceMs);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace torvane::platform::win32
