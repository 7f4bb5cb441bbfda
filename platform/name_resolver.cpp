#include "platform/name_resolver.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace torvane::platform {
namespace {

std::atomic<HostLookup> g_lookup{nullptr};
std::atomic<std::size_t> g_pending{0};

// Shared by the waiting caller and the lookup thread; whichever ends last
// frees it.
struct Lookup {
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
  bool found = false;
  ResolvedAddress address;
};

// Brackets of an IPv6 literal belong to URLs, not to the resolver.
std::string BareHost(const std::string& host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') return host.substr(1, host.size() - 2);
  return host;
}

bool ClaimSlot() {
  std::size_t pending = g_pending.load();
  do {
    if (pending >= kMaxPendingLookups) return false;
  } while (!g_pending.compare_exchange_weak(pending, pending + 1));
  return true;
}

}  // namespace

void SetHostLookupForTests(HostLookup lookup) { g_lookup.store(lookup); }
std::size_t PendingHostLookups() { return g_pending.load(); }

ResolveResult ResolveHost(const std::string& host, std::uint16_t port, std::uint32_t wait_ms,
                          ResolvedAddress& out) {
  out = ResolvedAddress{};
  try {
    const std::string name = BareHost(host);
    if (name.empty()) return ResolveResult::kFailed;
    if (SystemHostLookup(name, port, true, out)) return ResolveResult::kResolved;
    if (!ClaimSlot()) return ResolveResult::kTooManyPending;
    std::shared_ptr<Lookup> lookup;
    try {
      lookup = std::make_shared<Lookup>();
      const HostLookup replaced = g_lookup.load();
      std::thread([lookup, name, port, replaced] {
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
        g_pending.fetch_sub(1);  // before the caller wakes, so a finished lookup is never counted
        lookup->finished.notify_all();
      }).detach();
    } catch (...) {  // no thread or no memory: the lookup never started
      g_pending.fetch_sub(1);
      return ResolveResult::kFailed;
    }
    std::unique_lock guard(lookup->lock);
    if (!lookup->finished.wait_for(guard, std::chrono::milliseconds(wait_ms), [&] { return lookup->done; }))
      return ResolveResult::kTimedOut;
    if (!lookup->found) return ResolveResult::kFailed;
    out = lookup->address;
    return ResolveResult::kResolved;
  } catch (const std::bad_alloc&) {  // copying the name
    return ResolveResult::kFailed;
  }
}

}  // namespace torvane::platform
