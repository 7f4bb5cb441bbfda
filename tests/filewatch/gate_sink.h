#pragma once
// A change sink that holds the notification thread, and with it the worker,
// inside a watch's end until the test opens the gate.
#include <condition_variable>
#include <mutex>
#include <string>

#include "filewatch/change_sink.h"

namespace torvane::filewatch::test {

class GateSink final : public ChangeSink {
 public:
  void WatchEnded(const std::string&) override {
    std::unique_lock lock(lock_);
    entered_ = true;
    cv_.notify_all();
    cv_.wait(lock, [&] { return open_; });
  }
  void WaitEntered() {
    std::unique_lock lock(lock_);
    cv_.wait(lock, [&] { return entered_; });
  }
  void Open() {
    std::lock_guard guard(lock_);
    open_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex lock_;
  std::condition_variable cv_;
  bool entered_ = false;
  bool open_ = false;
};

}  // namespace torvane::filewatch::test
