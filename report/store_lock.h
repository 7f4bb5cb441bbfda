#pragma once
// The store lock: the named flag kStoreLockName, held by whoever created it.
// A waiting append tries again every kStoreLockPollMs.
#include <optional>

#include "platform/named_flag.h"

namespace torvane::report {

// Waits, without limit, while another holder has the flag. A creation that
// fails outright (not "already exists") is retried too, up to
// kStoreLockFailures times; then it logs "Error:StoreLock %d\n" with the
// platform's error code and gives up (empty result).
std::optional<platform::NamedFlag> AcquireStoreLock();

inline constexpr int kStoreLockFailures = 30;

}  // namespace torvane::report
