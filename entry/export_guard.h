#pragma once
// Nothing is thrown across an export: what the body of one throws ends there
// as one "Error:" line in the operation log, and the export returns 0.
#include <cstdint>
#include <exception>

namespace torvane::entry {

// Writes "Error:<export> <what>" to the operation log; `what` may be null
// (not a standard exception). Never throws.
void LogExportFailure(const char* exportName, const char* what) noexcept;

template <typename Body>
std::int32_t RunExportBody(const char* exportName, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::exception& e) {
    LogExportFailure(exportName, e.what());
  } catch (...) {
    LogExportFailure(exportName, nullptr);
  }
  return 0;
}

}  // namespace torvane::entry
