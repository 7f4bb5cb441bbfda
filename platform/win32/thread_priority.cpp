#include <windows.h>

#include "platform/thread_priority.h"

namespace torvane::platform {

ScopedHighPriority::ScopedHighPriority() {
  const int current = ::GetThreadPriority(::GetCurrentThread());
  if (current != THREAD_PRIORITY_ERROR_RETURN &&
      ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_HIGHEST))
    previous_ = current;
}

ScopedHighPriority::~ScopedHighPriority() {
  if (previous_) ::SetThreadPriority(::GetCurrentThread(), *previous_);
}

}  // namespace torvane::platform
