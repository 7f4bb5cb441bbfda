#include "filewatch/audit_reporter.h"

#include <mutex>

#include "report/reporter.h"

namespace torvane::filewatch {
namespace {

// File activity goes to the server like every other event.
void ProductionReporter(std::string_view text, std::int32_t event_type) {
  report::ReportEvent(text, event_type);
}

struct ReporterSlot {
  std::mutex lock;
  AuditReporter reporter = ProductionReporter;
};

// Lives as long as the process: a notification thread may report until exit.
ReporterSlot& Slot() {
  static ReporterSlot& slot = *new ReporterSlot;
  return slot;
}

}  // namespace

AuditReporter SetAuditReporter(AuditReporter reporter) {
  if (!reporter) reporter = ProductionReporter;
  ReporterSlot& slot = Slot();
  std::lock_guard guard(slot.lock);
  std::swap(slot.reporter, reporter);
  return reporter;
}

void ReportAuditEvent(std::string_view text) {
  AuditReporter reporter;
  {
    ReporterSlot& slot = Slot();
    std::lock_guard guard(slot.lock);
    reporter = slot.reporter;
  }
  reporter(text, kAuditEventType);
}

}  // namespace torvane::filewatch
