#pragma once
// The change sink of a watched drive: every file created, deleted, modified
// or renamed below its root becomes one event text, reported on the change
// notification thread. Directories count as files.
#include <cstdint>
#include <string>

#include "filewatch/change_sink.h"

namespace torvane::filewatch {

class FileAuditSink final : public ChangeSink {
 public:
  void FileCreated(const std::string& path) override;
  void FileDeleted(const std::string& path) override;
  void FileRenamed(const std::string& old_path, const std::string& new_path) override;
  void FileChanged(const std::string& path) override;
  // Lost events are logged and reported as one event with their count.
  void EventsLost(std::uint64_t count, const std::string& directory) override;

 private:
  ~FileAuditSink() override = default;
};

}  // namespace torvane::filewatch
