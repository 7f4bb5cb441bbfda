#include "platform/thread_priority.h"

namespace torvane::platform {

// An unprivileged process cannot raise a thread's priority here.
ScopedHighPriority::ScopedHighPriority() = default;
ScopedHighPriority::~ScopedHighPriority() { previous_.reset(); }

}  // namespace torvane::platform
