// Name resolution with a bounded wait. A stand-in lookup that blocks until
// released plays a name server that never answers.
#include "platform/name_resolver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace torvane::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Polled rather than waited for, so the stand-in depends on nothing but the
// code under test to be woken.
std::atomic<bool> g_gate_open{true};
std::atomic<int> g_lookups{0};

// "stall.test" waits for the gate; "found.test" gives a made-up address,
// "slow.test" the same after 300 ms; anything else is unknown.
bool StandInLookup(const std::string& host, std::uint16_t port, ResolvedAddress& out) {
  g_lookups.fetch_add(1);
  if (host == "stall.test")
    while (!g_gate_open.load()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  if (host == "slow.test") std::this_thread::sleep_for(std::chrono::milliseconds(300));
  if (host != "found.test" && host != "slow.test") return false;
  out.family = 7;
  out.socktype = 1;
  out.length = 3;
  out.address[0] = 0xAB;
  out.address[1] = static_cast<unsigned char>(port >> 8);
  out.address[2] = static_cast<unsigned char>(port & 0xFF);
  return true;
}

void SetGate(bool open) { g_gate_open.store(open); }

bool NoLookupLeftRunning() {
  for (const auto until = Clock::now() + std::chrono::seconds(10); Clock::now() < until;) {
    if (LookupsLeftRunning() == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

class NameResolver : public ::testing::Test {
 protected:
  void SetUp() override {
    g_lookups = 0;
    SetGate(true);
    SetHostLookupForTests(&StandInLookup);
  }
  void TearDown() override {
    SetGate(true);
    EXPECT_TRUE(NoLookupLeftRunning());
    SetHostLookupForTests(nullptr);
  }
};

TEST_F(NameResolver, NumericAddressesAreConvertedWithoutALookup) {
  for (const char* host : {"127.0.0.1", "[::1]", "::1"}) {
    ResolvedAddress address;
    EXPECT_EQ(ResolveHost(host, 80, 1000, address), ResolveResult::kResolved) << host;
    EXPECT_GT(address.length, 0u) << host;
  }
  EXPECT_EQ(g_lookups.load(), 0);
}

TEST_F(NameResolver, NamesGoToTheLookupAndItsAnswerComesBack) {
  ResolvedAddress address;
  ASSERT_EQ(ResolveHost("found.test", 0x1F90, 5000, address), ResolveResult::kResolved);
  EXPECT_EQ(address.family, 7);
  ASSERT_EQ(address.length, 3u);
  EXPECT_EQ(address.address[0], 0xAB);
  EXPECT_EQ(address.address[1], 0x1F);
  EXPECT_EQ(address.address[2], 0x90);
  EXPECT_EQ(ResolveHost("unknown.test", 80, 5000, address), ResolveResult::kFailed);
  EXPECT_EQ(address.length, 0u);
  EXPECT_EQ(ResolveHost("", 80, 5000, address), ResolveResult::kFailed);
  EXPECT_EQ(g_lookups.load(), 2);
}

// The caller waits only its time; the stalled lookup finishes later on its
// own thread without touching the caller's result.
TEST_F(NameResolver, AStalledLookupEndsTheWaitAndIsLeftRunning) {
  SetGate(false);
  ResolvedAddress address;
  const auto start = Clock::now();
  EXPECT_EQ(ResolveHost("stall.test", 80, 300, address), ResolveResult::kTimedOut);
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(290));
  EXPECT_LT(waited, std::chrono::seconds(5));
  EXPECT_EQ(address.length, 0u);
  EXPECT_EQ(LookupsLeftRunning(), 1u);
  SetGate(true);
  EXPECT_TRUE(NoLookupLeftRunning());
  EXPECT_EQ(ResolveHost("found.test", 80, 5000, address), ResolveResult::kResolved);
}

TEST_F(NameResolver, OnlyAFewLookupsAreLeftRunning) {
  SetGate(false);
  ResolvedAddress address;
  for (std::size_t i = 0; i < kMaxLookupsLeftRunning; ++i)
    EXPECT_EQ(ResolveHost("stall.test", 80, 50, address), ResolveResult::kTimedOut);
  // Wait until every stand-in thread is inside the lookup.
  for (const auto until = Clock::now() + std::chrono::seconds(10);
       g_lookups.load() < static_cast<int>(kMaxLookupsLeftRunning) && Clock::now() < until;)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const auto start = Clock::now();
  EXPECT_EQ(ResolveHost("found.test", 80, 5000, address), ResolveResult::kTooManyLeftRunning);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(g_lookups.load(), static_cast<int>(kMaxLookupsLeftRunning));  // no new thread was started
  EXPECT_EQ(ResolveHost("127.0.0.1", 80, 5000, address), ResolveResult::kResolved);  // numeric still works
  SetGate(true);
  ASSERT_TRUE(NoLookupLeftRunning());
  EXPECT_EQ(ResolveHost("found.test", 80, 5000, address), ResolveResult::kResolved);
}

// Only lookups nobody waits for any more are limited: many callers may wait
// for a slow name server at once.
TEST_F(NameResolver, CallersStillWaitingAreNotLimited) {
  constexpr int kCallers = static_cast<int>(kMaxLookupsLeftRunning) + 3;
  std::atomic<int> resolved{0};
  std::vector<std::thread> callers;
  for (int i = 0; i < kCallers; ++i)
    callers.emplace_back([&] {
      ResolvedAddress address;
      if (ResolveHost("slow.test", 80, 10000, address) == ResolveResult::kResolved) resolved.fetch_add(1);
    });
  for (std::thread& caller : callers) caller.join();
  EXPECT_EQ(resolved.load(), kCallers);
  EXPECT_EQ(LookupsLeftRunning(), 0u);
}

TEST(SystemNameLookup, LocalhostResolvesAndUnknownNamesFail) {
  SetHostLookupForTests(nullptr);
  ResolvedAddress address;
  EXPECT_EQ(ResolveHost("localhost", 80, 30000, address), ResolveResult::kResolved);
  EXPECT_GT(address.length, 0u);
  EXPECT_FALSE(SystemHostLookup("localhost", 80, true, address));  // a name is not numeric
  EXPECT_TRUE(NoLookupLeftRunning());
}

}  // namespace
}  // namespace torvane::platform
