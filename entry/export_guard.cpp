#include "entry/export_guard.h"

#include <cstdio>

#include "report/operation_log.h"

namespace torvane::entry {

void LogExportFailure(const char* exportName, const char* what) noexcept {
  // Formatted without allocating: the failure may be an exhausted heap.
  char line[512];
  std::snprintf(line, sizeof line, "Error:%s %s", exportName, what ? what : "unknown exception");
  try {
    report::WriteOperationLog(line);
  } catch (...) {
  }
}

}  // namespace torvane::entry
