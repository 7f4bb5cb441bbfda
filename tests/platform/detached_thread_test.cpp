// Threads nobody joins: many started back to back must all run, as each
// lookup and background task starts one while the one before may be ending.
#include "platform/detached_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

namespace torvane::platform {
namespace {

struct Signal {
  std::mutex lock;
  std::condition_variable changed;
  int count = 0;

  void Add() {
    std::lock_guard guard(lock);
    ++count;
    changed.notify_all();
  }
  bool WaitFor(int wanted) {
    std::unique_lock guard(lock);
    return changed.wait_for(guard, std::chrono::seconds(10), [&] { return count >= wanted; });
  }
};

// A detached std::thread under the MinGW threads library hung at start-up
// within a few hundred of these, never running its body.
TEST(DetachedThread, ThousandsStartedBackToBackAllRun) {
  Signal ran;
  constexpr int kThreads = 3000;
  for (int i = 1; i <= kThreads; ++i) {
    ASSERT_TRUE(StartDetachedThread([&ran] { ran.Add(); }));
    ASSERT_TRUE(ran.WaitFor(i)) << "thread " << i << " never ran";
  }
}

TEST(DetachedThread, AThrowingBodyEndsOnlyItsThread) {
  Signal ran;
  ASSERT_TRUE(StartDetachedThread([&ran] {
    ran.Add();
    throw std::runtime_error("dropped");
  }));
  ASSERT_TRUE(StartDetachedThread([&ran] { ran.Add(); }));
  EXPECT_TRUE(ran.WaitFor(2));
}

}  // namespace
}  // namespace torvane::platform
