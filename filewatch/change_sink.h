#pragma once
// The notification interface of the file activity monitor. Sinks are
// reference-counted: the creator holds the first count, each watch that
// delivers to a sink one more, and the sink deletes itself at zero.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace torvane::filewatch {

enum class EventKind : std::int32_t {
  kCreated = 1,
  kDeleted = 2,
  kChanged = 3,
  kRenamed = 4,
  kReadError = 5,
  kWatchBegun = 6,
  kWatchEnded = 7,
  kEventsLost = 8,  // file events refused for want of room, with their count
};

// Kinds 1 to 4: a file created, deleted, changed or renamed.
inline bool IsFileEvent(EventKind kind) {
  return kind == EventKind::kCreated || kind == EventKind::kDeleted ||
         kind == EventKind::kChanged || kind == EventKind::kRenamed;
}

class FolderMonitor;

class ChangeSink {
 public:
  ChangeSink() = default;
  ChangeSink(const ChangeSink&) = delete;
  ChangeSink& operator=(const ChangeSink&) = delete;

  // Paths are full paths in the ANSI code page. Every default does nothing.
  virtual void FileCreated(const std::string& path);
  virtual void FileDeleted(const std::string& path);
  virtual void FileRenamed(const std::string& old_path, const std::string& new_path);
  virtual void FileChanged(const std::string& path);
  virtual void ReadError(std::uint32_t error, const std::string& directory);
  virtual void WatchBegun(std::uint32_t error, const std::string& directory);
  virtual void WatchEnded(const std::string& directory);
  // `count` file events of the watch of `directory` were lost on their way
  // to this sink (the notification backlog was full).
  virtual void EventsLost(std::uint64_t count, const std::string& directory);
  // Whether to deliver a file event (kinds 1 to 4); `second` is the new path
  // of a rename, otherwise null. The default lets everything through.
  virtual bool AcceptEvent(EventKind kind, const std::string& path, const std::string* second);

  void AddRef();
  void Release();

  // Used by the monitor only: one more / one fewer watch of this sink in it.
  void Bind(FolderMonitor& monitor);
  void ReleaseBinding();
  FolderMonitor* bound_monitor();

 protected:
  // Stops any watch of the bound monitor that still delivers here.
  virtual ~ChangeSink();

 private:
  std::atomic<std::int32_t> refs_{1};
  std::mutex lock_;
  FolderMonitor* monitor_ = nullptr;
  std::int32_t bindings_ = 0;
};

}  // namespace torvane::filewatch
