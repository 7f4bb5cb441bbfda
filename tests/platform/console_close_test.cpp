// A console close: Windows ends the process as soon as the control handler
// returns, so the handler must request the stop and then hold on while the
// host stops its work, not return at once.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/stop_request.h"
#include "platform/win32/console_control.h"

namespace torvane::platform {
namespace {

TEST(ConsoleClose, RequestsTheStopThenHoldsOnWhileTheHostStops) {
  ASSERT_TRUE(stop_request::Install(nullptr));
  std::atomic<bool> returned{false};
  BOOL handled = FALSE;
  std::thread system([&] {
    handled = win32::OnConsoleControl(CTRL_CLOSE_EVENT);
    returned = true;
  });
  EXPECT_TRUE(stop_request::Wait(std::chrono::seconds(10))) << "the stop was requested";
  // Returning now would end the process under the host's feet.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_FALSE(returned.load()) << "the handler returned while the host was still stopping";
  system.join();
  EXPECT_TRUE(handled);
}

}  // namespace
}  // namespace torvane::platform
#endif
