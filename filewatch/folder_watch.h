#pragma once
// One watched directory: its handle, its buffer with the one outstanding
// read, and the small state machine through which the caller's threads hand
// start and stop commands to the worker thread. All work on the directory
// handle happens on the worker.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "filewatch/change_sink.h"
#include "filewatch/queued_sink.h"
#include "filewatch/ref.h"
#include "platform/dir_changes.h"
#include "platform/wait_event.h"

namespace torvane::filewatch {

class FolderWatch {
 public:
  enum class State { kStarting, kRunning, kStopping, kClosing };
  enum class Outcome { kKeep, kFailed };

  // Null (and 14 in `error`) when memory runs out.
  static std::unique_ptr<FolderWatch> Create(std::unique_ptr<platform::ChangeDirectory> dir,
                                             std::string path, std::uint32_t filter,
                                             bool subtree, ChangeSink& sink,
                                             std::uint32_t& error);
  // Releases the caller's sink and closes the directory. Never called while
  // a read is outstanding: a stopped or failed watch has none.
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // On a caller's thread. Start returns the first read's result; Stop
  // returns once the worker has closed the directory and the sink has had
  // WatchEnded (or at once when the watch had already failed). Stop returns
  // false when the port refused the command for good: the watch may still
  // have a read outstanding and must then never be freed.
  std::uint32_t Start(platform::ChangePort& port);
  [[nodiscard]] bool Stop(platform::ChangePort& port);

  // On the worker: one packet for this watch. kFailed: a read was refused
  // or failed; the sink has had ReadError and the directory is closed; the
  // watch must be taken out of its monitor and destroyed.
  Outcome OnPacket(const platform::PortPacket& packet);

  platform::ChangeDirectory& directory() { return *dir_; }
  std::uintptr_t key() const { return reinterpret_cast<std::uintptr_t>(this); }
  const std::string& path() const { return path_; }
  ChangeSink& sink() const { return *sink_; }
  // Whether the worker has given this watch up after a failed read.
  bool failed();

 private:
  FolderWatch(std::unique_ptr<platform::ChangeDirectory> dir, std::string path,
              std::uint32_t filter, bool subtree, ChangeSink& sink);

  std::uint32_t IssueRead();
  void Dispatch(std::size_t valid);
  Outcome Fail(std::uint32_t error);
  bool PostCommand(platform::ChangePort& port, State state);

  std::unique_ptr<platform::ChangeDirectory> dir_;
  const std::string path_;
  const std::uint32_t filter_;
  const bool subtree_;
  Ref<ChangeSink> sink_;
  Ref<QueuedSink> queued_;

  alignas(4) std::array<std::byte, platform::kChangeBufferSize> buffer_{};
  std::size_t kept_ = 0;  // bytes of an old-name entry kept at the buffer's start

  std::mutex lock_;  // guards the three below
  State state_ = State::kStarting;
  std::uint32_t last_error_ = 0;
  bool failed_ = false;
  bool stop_from_notifier_ = false;  // the stop was asked for inside a notification
  platform::WaitEvent done_{platform::WaitEvent::Reset::kManual};
};

}  // namespace torvane::filewatch
