#include "platform/thread_quit.h"

namespace torvane::platform {

// POSIX threads have no message queues; the scripted UI's `quit` step is the
// way to end its modal loops.
std::uint32_t CurrentThreadId() { return 0; }

bool PostQuitMessageTo(std::uint32_t) { return false; }

}  // namespace torvane::platform
