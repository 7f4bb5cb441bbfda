#pragma once
// Starts work on a thread of its own that nobody joins: the thread ends when
// the work returns. On Windows the thread is the system's own rather than a
// detached std::thread, whose start-up under the MinGW threads library can
// hang for good when another detached thread ends at the same moment.
#include <functional>

namespace torvane::platform {

// Runs `body` on a new thread; anything it throws is dropped there. False when
// no thread could be started, and `body` is then not run.
bool StartDetachedThread(std::function<void()> body);

}  // namespace torvane::platform
