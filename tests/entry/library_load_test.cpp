// The shipped library loaded as a host loads it, through its export.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/dynamic_library.h"
#include "platform/environment.h"
#include "platform/thread_quit.h"
#include "support/temp_dir.h"

namespace torvane {
namespace {

#ifdef _WIN32
using DoWorkFn = int(__stdcall*)(void*);
#else
using DoWorkFn = int (*)(void*);
#endif

// DoWork blocks its thread until a quit message reaches it (the scripted
// UI's `quit` natively), then returns 0; once called, the library stays in
// the process after the host lets go of it, so its threads never lose their
// code.
TEST(ShippedLibrary, DoWorkEndsOnQuitAndTheLibraryStaysLoaded) {
  test::TempDir dir;
  // Natively the library reads its script and host folder from here; the
  // first scan pass finds no secure-disk library there and logs it.
  platform::SetEnvironment("TORVANE_UI_SCRIPT", dir.Write("quit.script", "quit\n"));
  platform::SetEnvironment("TORVANE_UI_TRANSCRIPT", (dir.path() / "transcript").string());
  platform::SetEnvironment("TORVANE_HOST_DIR", dir.dir());
  platform::SetEnvironment("TORVANE_STATE_DIR", (dir.path() / "state").string());

  const std::string path = TORVANE_LIBRARY_PATH;
  auto library = platform::DynamicLibrary::Open(path);
  ASSERT_TRUE(library.loaded()) << library.error();
  const auto doWork = reinterpret_cast<DoWorkFn>(library.Symbol("DoWork"));
  ASSERT_NE(doWork, nullptr);

  std::atomic<std::uint32_t> threadId{0};
  std::atomic<bool> returned{false};
  std::atomic<int> result{-1};
  std::thread host([&] {
    threadId = platform::CurrentThreadId();
    result = doWork(nullptr);
    returned = true;
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!returned && std::chrono::steady_clock::now() < deadline) {
    if (threadId != 0) platform::PostQuitMessageTo(threadId);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(returned.load()) << "DoWork did not end on a quit message";
  host.join();
  EXPECT_EQ(result.load(), 0);

  library = platform::DynamicLibrary::Open("");  // lets go of the library
  EXPECT_TRUE(platform::DynamicLibrary::Resident(path));
}

}  // namespace
}  // namespace torvane
