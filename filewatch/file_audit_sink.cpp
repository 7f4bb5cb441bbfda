#include "filewatch/file_audit_sink.h"

#include "filewatch/audit_reporter.h"
#include "filewatch/texts.h"
#include "report/operation_log.h"

namespace torvane::filewatch {
namespace {

void Report(const char* prefix, const std::string& path) {
  std::string message = prefix;
  message += path;
  message += text::kTextEnd;
  ReportAuditEvent(message);
}

}  // namespace

void FileAuditSink::FileCreated(const std::string& path) { Report(text::kFileCreated, path); }
void FileAuditSink::FileDeleted(const std::string& path) { Report(text::kFileDeleted, path); }
void FileAuditSink::FileChanged(const std::string& path) { Report(text::kFileChanged, path); }

void FileAuditSink::FileRenamed(const std::string& old_path, const std::string& new_path) {
  std::string message = text::kFileRenamedSource;
  message += old_path;
  message += text::kFileRenamedTarget;
  message += new_path;
  message += text::kTextEnd;
  ReportAuditEvent(message);
}

void FileAuditSink::EventsLost(std::uint64_t count, const std::string& directory) {
  const std::string number = std::to_string(count);
  report::WriteOperationLog("Error:File events lost: " + number + " of " + directory +
                            " (notification backlog full)\n");
  std::string message = text::kEventsLost;
  message += directory;
  message += text::kEventsLostCount;
  message += number;
  message += text::kTextEnd;
  ReportAuditEvent(message);
}

}  // namespace torvane::filewatch
