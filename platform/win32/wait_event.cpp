#include <windows.h>

#include "platform/wait_event.h"

namespace torvane::platform {

struct WaitEvent::Impl {
  HANDLE h = nullptr;
  ~Impl() {
    if (h) ::CloseHandle(h);
  }
};

WaitEvent::WaitEvent(Reset reset) : impl_(std::make_unique<Impl>()) {
  impl_->h = ::CreateEventA(nullptr, reset == Reset::kManual ? TRUE : FALSE, FALSE, nullptr);
}
WaitEvent::~WaitEvent() = default;

bool WaitEvent::ok() const { return impl_->h != nullptr; }
void WaitEvent::Set() { ::SetEvent(impl_->h); }
void WaitEvent::ResetSignal() { ::ResetEvent(impl_->h); }

bool WaitEvent::Wait(std::uint32_t ms) { return ::WaitForSingleObject(impl_->h, ms) == WAIT_OBJECT_0; }

bool WaitEvent::WaitDispatching(std::uint32_t ms) {
  const ULONGLONG deadline = ::GetTickCount64() + ms;
  bool quit = false;
  WPARAM quit_code = 0;
  bool signalled = false;
  for (;;) {
    const ULONGLONG now = ::GetTickCount64();
    const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    const DWORD r = ::MsgWaitForMultipleObjectsEx(1, &impl_->h, left, QS_ALLINPUT,
                                                  MWMO_INPUTAVAILABLE);
    if (r == WAIT_OBJECT_0) {
      signalled = true;
      break;
    }
    if (r != WAIT_OBJECT_0 + 1) break;  // time is up, or the wait failed
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // Ends this pass; the quit is handed back to the thread's own loop
        // once the wait is over.
        quit = true;
        quit_code = msg.wParam;
        break;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
  if (quit) ::PostQuitMessage(static_cast<int>(quit_code));
  return signalled;
}

}  // namespace torvane::platform
