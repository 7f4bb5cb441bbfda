#pragma once
// Runs a stretch of work at the highest normal thread priority and restores
// the previous priority afterwards. A no-op where the platform gives an
// unprivileged process no way to raise it (POSIX).
#include <optional>

namespace torvane::platform {

class ScopedHighPriority {
 public:
  ScopedHighPriority();
  ~ScopedHighPriority();
  ScopedHighPriority(const ScopedHighPriority&) = delete;
  ScopedHighPriority& operator=(const ScopedHighPriority&) = delete;

 private:
  std::optional<int> previous_;  // the priority to restore, when raised
};

}  // namespace torvane::platform
