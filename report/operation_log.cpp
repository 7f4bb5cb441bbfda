#include "report/operation_log.h"

#include <mutex>
#include <string>

#include "config/host_directory.h"
#include "platform/clock.h"
#include "platform/file.h"

namespace torvane::report {
namespace {

std::mutex& LogLock() {
  static std::mutex m;
  return m;
}

// Text-mode line ends: every line feed is stored as CR LF.
void AppendTextMode(std::string& line, std::string_view text) {
  for (const char c : text) {
    if (c == '\n') line += '\r';
    line += c;
  }
}

}  // namespace

void WriteOperationLog(std::string_view text) {
  try {
    const std::string path = config::HostDirectory() + kOperationLogName;
    std::lock_guard lock(LogLock());
    auto file = platform::File::Open(path, platform::File::Mode::kReadWriteAlways);
    if (!file) return;
    const auto size = file->Size();
    if (!size) return;
    if (*size >= kOperationLogLimit) {
      file.reset();
      platform::RemoveFile(path);
      return;
    }
    const std::string stamp = platform::LocalTimeStamp();
    text = text.substr(0, text.find('\0'));  // callers hand zero-terminated texts
    if (text.empty()) return;
    std::string line;
    line.reserve(stamp.size() + text.size() + 16);
    AppendTextMode(line, stamp);
    line += ' ';
    AppendTextMode(line, text);
    AppendTextMode(line, "\n");
    file->WriteAt(*size, line);
  } catch (...) {
    // Logging never disturbs its caller; the line is lost.
  }
}

}  // namespace torvane::report
