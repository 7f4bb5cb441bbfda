#include "platform/detached_thread.h"

#include <windows.h>

#include <memory>
#include <new>

namespace torvane::platform {
namespace {

using Body = std::function<void()>;

DWORD WINAPI RunBody(void* arg) {
  const std::unique_ptr<Body> body(static_cast<Body*>(arg));
  try {
    (*body)();
  } catch (...) {  // an exception leaving a thread would end the process
  }
  return 0;
}

}  // namespace

bool StartDetachedThread(std::function<void()> body) {
  std::unique_ptr<Body> owned(new (std::nothrow) Body(std::move(body)));
  if (!owned) return false;
  const HANDLE thread = ::CreateThread(nullptr, 0, &RunBody, owned.get(), 0, nullptr);
  if (thread == nullptr) return false;
  owned.release();  // the thread owns it now
  ::CloseHandle(thread);
  return true;
}

}  // namespace torvane::platform
