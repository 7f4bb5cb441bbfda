#include <atomic>

#include "platform/file.h"

namespace torvane::platform {
namespace {

std::atomic<FileOpObserver> g_observer{nullptr};

}  // namespace

void SetFileOpObserver(FileOpObserver observer) { g_observer.store(observer); }

bool FileOpAllowed(FileOp op, const std::string& path) {
  const FileOpObserver observer = g_observer.load(std::memory_order_acquire);
  return observer == nullptr || observer(op, path);
}

}  // namespace torvane::platform
