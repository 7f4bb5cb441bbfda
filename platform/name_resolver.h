#pragma once
// Host-name resolution with a bounded wait. The system's resolver blocks for
// as long as the name servers take; a name is therefore looked up on a helper
// thread and waited for at most the caller's time. A lookup still running
// when the wait ends is left to finish on its thread and its answer dropped;
// only a few may be left so at a time, after which names fail at once, so a
// dead name server costs neither unbounded threads nor unbounded waits.
// Lookups that callers are still waiting for are bounded by those callers
// and are not limited.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace torvane::platform {

// The first address the resolver gave: what a socket needs to connect.
struct ResolvedAddress {
  int family = 0;
  int socktype = 0;
  int protocol = 0;
  std::array<unsigned char, 128> address{};  // a socket address of `length` bytes
  std::size_t length = 0;
};

enum class ResolveResult {
  kResolved,
  kFailed,          // unknown name, resolver error, or no resources for the lookup
  kTimedOut,        // the wait ended first
  kTooManyLeftRunning,  // too many earlier lookups outlived their wait and still run
};

// Most lookups left running after their wait ended.
inline constexpr std::size_t kMaxLookupsLeftRunning = 4;

// Resolves `host` (an IPv6 literal may keep its URL brackets) for a stream
// connection to `port`: any address family, the first address only. A
// numeric address is converted at once on the calling thread.
ResolveResult ResolveHost(const std::string& host, std::uint16_t port, std::uint32_t wait_ms,
                          ResolvedAddress& out);

// Lookups that outlived their caller's wait and have not finished yet.
std::size_t LookupsLeftRunning();

// A blocking lookup of a host name; true with `out` filled when found.
using HostLookup = bool (*)(const std::string& host, std::uint16_t port, ResolvedAddress& out);
// Tests replace the system's name lookup (numeric addresses are never passed
// to it); nullptr restores the system's.
void SetHostLookupForTests(HostLookup lookup);

// The backend's resolver call: names, or with `numeric_only` only numeric
// addresses (which never wait for a name server).
bool SystemHostLookup(const std::string& host, std::uint16_t port, bool numeric_only, ResolvedAddress& out);

}  // namespace torvane::platform
