#include "platform/win32/winsock_start.h"

#include <winsock2.h>

#include <mutex>

namespace torvane::platform {

bool StartWinsock() {
  static std::mutex lock;
  static bool started = false;
  std::lock_guard guard(lock);
  if (!started) {
    WSADATA data;
    started = ::WSAStartup(MAKEWORD(2, 0), &data) == 0;
  }
  return started;
}

}  // namespace torvane::platform
