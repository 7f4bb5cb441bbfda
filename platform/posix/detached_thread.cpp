#include "platform/detached_thread.h"

#include <system_error>
#include <thread>

namespace torvane::platform {

bool StartDetachedThread(std::function<void()> body) {
  try {
    std::thread([body = std::move(body)] {
      try {
        body();
      } catch (...) {  // an exception leaving a thread would end the process
      }
    }).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace torvane::platform
