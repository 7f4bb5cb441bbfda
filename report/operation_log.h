#pragma once
// The operation log: "usboperror.log" in the host directory, one time-stamped
// line per call, for people and support tools on the workstation.
#include <cstdint>
#include <string_view>

namespace torvane::report {

inline constexpr char kOperationLogName[] = "usboperror.log";
// A call that finds the log at this size or more deletes it and writes nothing.
inline constexpr std::uint64_t kOperationLogLimit = 0x400000;

// Appends "<time stamp> <text>" and a line end; every line feed (the line's
// own and any inside text) is stored as CR LF on every build. Calls within
// the process are serialised; a call that finds the file held open by
// another process drops its line. Never throws, reports nothing.
void WriteOperationLog(std::string_view text);

}  // namespace torvane::report
