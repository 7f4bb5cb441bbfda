#pragma once

namespace torvane::platform {

// Starts Winsock 2.0 once per process; a failed start is tried again by the
// next caller. It is never cleaned up: sockets and lookups may live until exit.
bool StartWinsock();

}  // namespace torvane::platform
