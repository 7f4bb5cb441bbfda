#pragma once
// Watches directories for files created, deleted, modified and renamed, and
// tells a caller's sink on the change notification thread. One completion
// port and one worker thread serve every watch; both come with the first
// watch and go with UnwatchAll.
//
// Locks, outermost first: the operations lock (callers' operations, held
// across their waits, never taken by the worker), the watch-list lock (held
// only briefly, by callers and by the worker removing a failed watch), a
// watch's lock, a sink's lock. Because no caller waits while holding the
// list lock, the worker's removal of a failed watch and a caller's stop can
// never wait on each other: a caller first takes the watches it stops out
// of the list, so the worker does not find them, and their stop finishes on
// the worker as for any watch.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "filewatch/change_sink.h"
#include "filewatch/folder_watch.h"
#include "platform/dir_changes.h"

namespace torvane::filewatch {

class FolderMonitor {
 public:
  FolderMonitor();
  ~FolderMonitor();  // UnwatchAll
  FolderMonitor(const FolderMonitor&) = delete;
  FolderMonitor& operator=(const FolderMonitor&) = delete;

  // Starts watching `path` (an existing directory) with `filter` (notify
  // flags), the changes below its subdirectories too when `subtree`. A path
  // already watched is unwatched first. Returns 0 or the platform's error:
  // 87 bad arguments, 161 not a directory, 14 out of memory, 164 no worker.
  std::uint32_t WatchFolder(std::string_view path, std::uint32_t filter, ChangeSink* sink,
                            bool subtree);
  // Stops the watch of `path` (compared without regard to case).
  bool UnwatchFolder(std::string_view path);
  // Stops every watch that delivers to `sink`.
  bool UnwatchSink(ChangeSink* sink);
  // Stops every watch and ends the worker; false when none was running.
  bool UnwatchAll();

  // Diagnostics.
  std::size_t WatchCount() const;
  bool WorkerRunning() const;

 private:
  using Watches = std::vector<std::unique_ptr<FolderWatch>>;
  template <class Match>
  Watches Detach(Match match);
  void StopAndDestroy(Watches& watches);
  void Worker(platform::ChangePort& port);
  void RemoveFailed(FolderWatch* watch);
  // Returns the watch when it failed before it could be put in the list.
  std::unique_ptr<FolderWatch> Insert(std::unique_ptr<FolderWatch> watch);

  std::recursive_mutex ops_;  // may be re-entered from window messages during a stop
  int depth_ = 0;             // operations of the holder of ops_ in progress
  std::unique_ptr<platform::ChangePort> port_;  // guarded by ops_
  std::thread worker_;                          // guarded by ops_
  std::atomic<bool> worker_alive_{false};

  mutable std::mutex list_lock_;
  Watches watches_;  // a removed watch leaves an empty slot for the next
};

}  // namespace torvane::filewatch
