#include "platform/name_resolver.h"

#include "platform/detached_thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <new>

namespace torvane::platform {
namespace {

std::atomic<HostLookup> g_lookup{nullptr};
std::atomic<std::size_t> g_left_running{0};

// Shared by the waiting caller and the lookup thread; whichever ends last
// frees it.
struct Lookup {
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
  bool found = false;
  bool left_running = false;  // the caller stopped waiting first
  ResolvedAddress address;
};

// Brackets of an IPv6 literal belong to URLs, not to the resolver.
std::string BareHost(const std::string& host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') return host.substr(1, host.size() - 2);
  return host;
}

}  // namespace

void SetHostLookupForTests(HostLookup lookup) { g_lookup.store(lookup); }
std::size_t LookupsLeftRunning() { return g_left_running.load(); }

ResolveResult ResolveHost(const std::string& host, std::uint16_t port, std::uint32_t wait_ms,
                          ResolvedAddress& out) {
  out = ResolvedAddress{};
  try {
    const std::string name = BareHost(host);
    if (name.empty()) return ResolveResult::kFailed;
    if (SystemHostLookup(name, port, true, out)) return ResolveResult::kResolved;
    // Callers racing past this check add at most one each: still bounded.
    if (g_left_running.load() >= kMaxLookupsLeftRunning) return ResolveResult::kTooManyLeftRunning;
    auto lookup = std::make_shared<Lookup>();
    const HostLookup replaced = g_lookup.load();
    const bool started = StartDetachedThread([lookup, name, port, replaced] {
      ResolvedAddress address;
      bool found = false;
      try {
        found = replaced != nullptr ? replaced(name, port, address) : SystemHostLookup(name, port, false, address);
      } catch (const std::bad_alloc&) {
        found = false;
      }
      std::lock_guard guard(lookup->lock);
      lookup->done = true;
      lookup->found = found;
      lookup->address = address;
      if (lookup->left_running) g_left_running.fetch_sub(1);
      lookup->finished.notify_all();
    });
    if (!started) return ResolveResult::kFailed;
    std::unique_lock guard(lookup->lock);
    if (!lookup->finished.wait_for(guard, std::chrono::milliseconds(wait_ms), [&] { return lookup->done; })) {
      lookup->left_running = true;
      g_left_running.fetch_add(1);
      return ResolveResult::kTimedOut;
    }
    if (!lookup->found) return ResolveResult::kFailed;
    out = lookup->address;
    return ResolveResult::kResolved;
  } catch (const std::exception&) {  // no memory or no thread: no lookup was waited for
    return ResolveResult::kFailed;
  }
}

}  // namespace torvane::platform
