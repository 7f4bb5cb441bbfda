#pragma once
// Ending a thread's modal loops from outside, as a host ends DoWork.
#include <cstdint>

namespace torvane::platform {

// The calling thread's id as the window system knows it (0 where threads
// have no message queues).
std::uint32_t CurrentThreadId();

// Posts a quit message to thread `id`'s queue; false when it has no queue
// (not yet, or not on this platform).
bool PostQuitMessageTo(std::uint32_t id);

}  // namespace torvane::platform
