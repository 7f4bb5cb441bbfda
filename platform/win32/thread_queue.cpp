// A thread with its own Windows message queue.
#include <windows.h>

#include <mutex>

#include "platform/thread_queue.h"

namespace torvane::platform {
namespace {

class Win32MessageThread final : public MessageThread {
 public:
  explicit Win32MessageThread(Handler handler) : handler_(std::move(handler)) {}

  ~Win32MessageThread() override {
    if (thread_) {
      Quit();
      Join();
      ::CloseHandle(thread_);
    }
    if (started_) ::CloseHandle(started_);
  }

  bool Launch(std::uint32_t& error) {
    started_ = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!started_) {
      error = ::GetLastError();
      return false;
    }
    thread_ = ::CreateThread(nullptr, 0, &Win32MessageThread::Run, this, 0, &id_);
    if (!thread_) {
      error = ::GetLastError();
      return false;
    }
    ::WaitForSingleObject(started_, INFINITE);
    return true;
  }

  bool Post(std::uint32_t message, std::uintptr_t payload) override {
    std::lock_guard guard(lock_);
    if (closed_) return false;
    return ::PostThreadMessageA(id_, message, 0, static_cast<LPARAM>(payload)) != 0;
  }

  void Quit() override {
    std::lock_guard guard(lock_);
    if (!closed_) ::PostThreadMessageA(id_, WM_QUIT, 0, 0);
  }

  bool WaitEnded(std::chrono::milliseconds timeout) override {
    return ::WaitForSingleObject(thread_, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
  }

  void Join() override {
    if (!IsCurrent()) ::WaitForSingleObject(thread_, INFINITE);
  }

  bool IsCurrent() const override { return ::GetCurrentThreadId() == id_; }

 private:
  static DWORD WINAPI Run(void* arg) {
    auto* self = static_cast<Win32MessageThread*>(arg);
    // Posting to itself makes the system create the thread's queue.
    MSG msg;
    ::PostThreadMessageA(::GetCurrentThreadId(), WM_NULL, 0, 0);
    ::PeekMessageA(&msg, nullptr, WM_NULL, WM_NULL, PM_REMOVE);
    ::SetEvent(self->started_);
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
      self->handler_(msg.message, static_cast<std::uintptr_t>(msg.lParam), false);
    }
    {
      std::lock_guard guard(self->lock_);
      self->closed_ = true;
    }
    // Release what was posted after the quit (nothing, normally).
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      self->handler_(msg.message, static_cast<std::uintptr_t>(msg.lParam), true);
    }
    return 0;
  }

  Handler handler_;
  HANDLE started_ = nullptr;
  HANDLE thread_ = nullptr;
  DWORD id_ = 0;
  std::mutex lock_;
  bool closed_ = false;
};

}  // namespace

std::shared_ptr<MessageThread> MessageThread::Start(Handler handler, std::uint32_t& error) {
  auto t = std::make_shared<Win32MessageThread>(std::move(handler));
  if (!t->Launch(error)) return nullptr;
  return t;
}

}  // namespace torvane::platform
