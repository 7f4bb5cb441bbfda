#include "filewatch/folder_watch.h"

#include <chrono>
#include <thread>

#include "filewatch/change_buffer.h"
#include "filewatch/event_poster.h"
#include "filewatch/full_path.h"
#include "platform/thread_priority.h"

namespace torvane::filewatch {
namespace {

constexpr std::uint32_t kStartWaitSliceMs = 10000;
constexpr std::uint32_t kStopWaitSliceMs = 5000;
constexpr std::uint32_t kCommandBytes = 4;

// Turns parsed entries into notifications with full paths.
class Dispatcher final : public ChangeVisitor {
 public:
  Dispatcher(const std::string& dir, ChangeSink& sink) : dir_(dir), sink_(sink) {}
  void OnChange(ChangeAction action, const std::u16string& name,
                const std::u16string* new_name) override {
    const std::string path = FullPath(dir_, name);
    switch (action) {
      case ChangeAction::kAdded:
        sink_.FileCreated(path);
        break;
      case ChangeAction::kRemoved:
        sink_.FileDeleted(path);
        break;
      case ChangeAction::kModified:
        sink_.FileChanged(path);
        break;
      case ChangeAction::kRenamed:
        sink_.FileRenamed(path, FullPath(dir_, new_name ? *new_name : std::u16string()));
        break;
    }
  }

 private:
  const std::string& dir_;
  ChangeSink& sink_;
};

}  // namespace

std::unique_ptr<FolderWatch> FolderWatch::Create(std::unique_ptr<platform::ChangeDirectory> dir,
                                                 std::string path, std::uint32_t filter,
                                                 bool subtree, ChangeSink& sink,
                                                 std::uint32_t& error) {
  std::unique_ptr<FolderWatch> watch;
  try {
    watch.reset(new FolderWatch(std::move(dir), std::move(path), filter, subtree, sink));
  } catch (const std::bad_alloc&) {
  }
  if (watch) watch->queued_ = QueuedSink::Create(watch->sink_, watch->path_);
  if (!watch || !watch->queued_ || !watch->done_.ok()) {
    error = platform::error::kOutOfMemory;
    return nullptr;
  }
  error = 0;
  return watch;
}

FolderWatch::FolderWatch(std::unique_ptr<platform::ChangeDirectory> dir, std::string path,
                         std::uint32_t filter, bool subtree, ChangeSink& sink)
    : dir_(std::move(dir)),
      path_(std::move(path)),
      filter_(filter),
      subtree_(subtree),
      sink_(Ref<ChangeSink>::Share(&sink)) {}

FolderWatch::~FolderWatch() {
  if (dir_) dir_->Close();
  if (queued_) queued_->Detach();
  queued_.reset();
  sink_.reset();
}

bool FolderWatch::failed() {
  std::lock_guard guard(lock_);
  return failed_;
}

bool FolderWatch::PostCommand(platform::ChangePort& port, State state) {
  std::lock_guard guard(lock_);
  state_ = state;
  return port.Post(key(), kCommandBytes);
}

std::uint32_t FolderWatch::Start(platform::ChangePort& port) {
  if (!PostCommand(port, State::kStarting)) return platform::error::kGenFailure;
  while (!done_.Wait(kStartWaitSliceMs)) {
  }
  done_.ResetSignal();
  std::lock_guard guard(lock_);
  return last_error_;
}

bool FolderWatch::Stop(platform::ChangePort& port) {
  const bool from_notifier = EventPoster::OnNotificationThread();
  {
    std::lock_guard guard(lock_);
    stop_from_notifier_ = from_notifier;
  }
  // Destroying the watch while its read is outstanding would let the
  // platform write into freed memory, so the command must get through.
  for (int attempt = 0; !PostCommand(port, State::kStopping); ++attempt) {
    if (attempt == 100) {
      queued_->Detach();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // The notification thread has no windows, and dispatching there would
  // take its own queued events away from it.
  while (!(from_notifier ? done_.Wait(kStopWaitSliceMs) : done_.WaitDispatching(kStopWaitSliceMs))) {
  }
  done_.ResetSignal();
  return true;
}

std::uint32_t FolderWatch::IssueRead() {
  return dir_->Read(buffer_.data() + kept_, buffer_.size() - kept_, subtree_, filter_);
}

void FolderWatch::Dispatch(std::size_t valid) {
  Dispatcher dispatcher(path_, *queued_);
  kept_ = ParseChangeBuffer(buffer_.data(), valid, dispatcher);
}

FolderWatch::Outcome FolderWatch::Fail(std::uint32_t error) {
  platform::ScopedHighPriority priority;
  dir_->Close();  // no read is outstanding: it was refused or has failed
  queued_->ReadError(error, path_);
  std::lock_guard guard(lock_);
  last_error_ = error;
  failed_ = true;  // the last touch: a starting caller may destroy it now
  return Outcome::kFailed;
}

FolderWatch::Outcome FolderWatch::OnPacket(const platform::PortPacket& packet) {
  State state;
  {
    std::lock_guard guard(lock_);
    state = state_;
    if (failed_) {
      // A stop that raced with a failed read: nothing left to close.
      done_.Set();
      return Outcome::kKeep;
    }
  }
  switch (state) {
    case State::kStarting: {
      const std::uint32_t error = IssueRead();
      {
        std::lock_guard guard(lock_);
        if (error == 0) state_ = State::kRunning;
        last_error_ = error;
      }
      queued_->WatchBegun(error, path_);
      done_.Set();
      return Outcome::kKeep;
    }
    case State::kStopping:
      if (dir_->closed()) {
        done_.Set();
        return Outcome::kKeep;
      }
      // The outstanding read completes with an error; that packet, or the
      // stop command if the read's packet came first, finishes the stop.
      dir_->Close();
      bool from_notifier;
      {
        std::lock_guard guard(lock_);
        state_ = State::kClosing;
        from_notifier = stop_from_notifier_;
      }
      // A sink that stops a watch from inside a notification holds the
      // notification thread: its WatchEnded comes after the stop returns.
      if (from_notifier) {
        queued_->PostWatchEnded(path_);
      } else {
        queued_->WatchEnded(path_);
      }
      return Outcome::kKeep;
    case State::kClosing:
      if (dir_->closed()) {
        done_.Set();
      } else {
        dir_->Close();
      }
      return Outcome::kKeep;
    case State::kRunning:
      break;
  }
  // A read has completed.
  if (!packet.ok) {
    kept_ = 0;
    return Fail(packet.error ? packet.error : platform::error::kGenFailure);
  }
  if (packet.bytes == 0) {
    // More changes came than the buffer holds: they are lost, and so is a
    // kept old name's partner. Tell the sink and go on watching.
    kept_ = 0;
    queued_->ReadError(platform::error::kNotifyEnumDir, path_);
  } else {
    Dispatch(kept_ + packet.bytes);
  }
  const std::uint32_t error = IssueRead();
  if (error != 0) return Fail(error);
  return Outcome::kKeep;
}

}  // namespace torvane::filewatch
