#pragma once
// Where the file activity events go. Production reports each text through
// the event reporter; tests and the reference host put their own reporter in.
#include <cstdint>
#include <functional>
#include <string_view>

namespace torvane::filewatch {

using AuditReporter = std::function<void(std::string_view text, std::int32_t event_type)>;

// Every file activity event has this type.
inline constexpr std::int32_t kAuditEventType = 2;

// Replaces the reporter; an empty one restores the production reporter.
// Returns the one it replaced.
AuditReporter SetAuditReporter(AuditReporter reporter);

// Hands one event text to the current reporter.
void ReportAuditEvent(std::string_view text);

}  // namespace torvane::filewatch
