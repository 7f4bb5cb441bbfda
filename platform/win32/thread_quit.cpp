#include <windows.h>

#include "platform/thread_quit.h"

namespace torvane::platform {

std::uint32_t CurrentThreadId() { return ::GetCurrentThreadId(); }

bool PostQuitMessageTo(std::uint32_t id) { return ::PostThreadMessageW(id, WM_QUIT, 0, 0) != FALSE; }

}  // namespace torvane::platform
