#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/wait_event.h"

namespace torvane::platform {

struct WaitEvent::Impl {
  std::mutex lock;
  std::condition_variable cv;
  bool signalled = false;
  bool manual = false;
};

WaitEvent::WaitEvent(Reset reset) : impl_(std::make_unique<Impl>()) {
  impl_->manual = reset == Reset::kManual;
}
WaitEvent::~WaitEvent() = default;

bool WaitEvent::ok() const { return true; }

// Notifies under the lock: a waiter that sees the signal may destroy the
// event at once, so nothing may touch it after the lock is released.
void WaitEvent::Set() {
  std::lock_guard guard(impl_->lock);
  impl_->signalled = true;
  impl_->cv.notify_all();
}

void WaitEvent::ResetSignal() {
  std::lock_guard guard(impl_->lock);
  impl_->signalled = false;
}

bool WaitEvent::Wait(std::uint32_t ms) {
  std::unique_lock lock(impl_->lock);
  if (!impl_->cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return impl_->signalled; }))
    return false;
  if (!impl_->manual) impl_->signalled = false;
  return true;
}

// No window messages on this backend.
bool WaitEvent::WaitDispatching(std::uint32_t ms) { return Wait(ms); }

}  // namespace torvane::platform
