#include "report/store_lock.h"

#include <chrono>
#include <string>
#include <thread>

#include "report/operation_log.h"
#include "report/store_format.h"

namespace torvane::report {

std::optional<platform::NamedFlag> AcquireStoreLock() {
  int failures = 0;
  for (;;) {
    platform::NamedFlag flag = platform::NamedFlag::Create(kStoreLockName);
    switch (flag.status()) {
      case platform::NamedFlag::Status::kCreated:
        return flag;
      case platform::NamedFlag::Status::kAlreadyExists:
        break;
      case platform::NamedFlag::Status::kFailed:
        if (++failures >= kStoreLockFailures) {
          WriteOperationLog("Error:StoreLock " + std::to_string(flag.error()) + "\n");
          return std::nullopt;
        }
        break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kStoreLockPollMs));
  }
}

}  // namespace torvane::report
