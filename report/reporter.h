#pragma once
// The event reporter: every event goes to the management server as one
// infoWarn exchange, or, when that fails or the server does not accept it,
// becomes one undelivered record in the encrypted warning store. While the
// server does not answer at all, events are stored at once without waiting
// on the network (report/server_reachability.h).
#include <cstdint>
#include <string_view>

#include "platform/clock.h"
#include "report/server_reachability.h"

namespace torvane::report {

// Sends `text` (ANSI code page) with `eventType`. Returns 0 when the server
// accepted the event, -1 otherwise (whether or not it could be stored).
std::int32_t ReportEvent(std::string_view text, std::int32_t eventType);

// The same with the local time taken from `clock` (tests).
using LocalClock = platform::LocalTime (*)();
std::int32_t ReportEvent(std::string_view text, std::int32_t eventType, LocalClock clock);

// The same with the quiet periods of an unreachable server timed by
// `monotonic` (tests).
std::int32_t ReportEvent(std::string_view text, std::int32_t eventType, LocalClock clock,
                         MonotonicClock monotonic);

// The same, telling `note` what became of the event and why the server did
// not take it (support tools, report/delivery_note.h); the event is handled
// exactly as above.
struct DeliveryNote;
std::int32_t ReportEvent(std::string_view text, std::int32_t eventType, LocalClock clock,
                         MonotonicClock monotonic, DeliveryNote* note);

}  // namespace torvane::report
