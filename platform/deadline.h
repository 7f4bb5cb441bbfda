#pragma once
// A steady-clock deadline `wait` after now that cannot overflow: a wait
// beyond the clock's range ends at its last time point ("never").
#include <chrono>

namespace torvane::platform {

inline std::chrono::steady_clock::time_point SteadyDeadline(std::chrono::milliseconds wait) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point now = Clock::now();
  if (wait.count() <= 0) return now;
  const auto room = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - now);
  return wait >= room ? Clock::time_point::max() : now + wait;
}

}  // namespace torvane::platform
