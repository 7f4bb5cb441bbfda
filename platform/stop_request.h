#pragma once
// A process-wide stop request, as a resident host program waits for it:
// SIGINT or SIGTERM (POSIX), a console control event (Windows: Ctrl-C,
// Ctrl-Break, the console closing), or Request() from any thread. Waiting
// for it takes no wake-ups until one of them comes.
#include <chrono>
#include <optional>
#include <string>

namespace torvane::platform::stop_request {

// Installs the handlers (once per process); false with a reason when the
// platform refused.
bool Install(std::string* error);

// Requests the stop, as the signals do; safe from any thread.
void Request();

// True once a stop was requested, waiting up to `limit` (no limit when
// nullopt); false when the time ran out first.
bool Wait(std::optional<std::chrono::milliseconds> limit);

}  // namespace torvane::platform::stop_request
