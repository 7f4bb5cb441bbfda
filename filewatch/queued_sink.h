#pragma once
// The sink a watch hands its notifications to on the worker thread: each
// becomes a SinkEvent posted to the notification thread, which calls the
// caller's sink there.
//
// WatchEnded returns once the notification thread has delivered it, so that
// normally nothing of a stopped watch arrives after its stop; but a stop is
// not held behind a backlog of other events: when events are still waiting
// ahead of the end, it returns after a short wait and those events, then the
// end, are delivered afterwards. File events refused for want of room in the
// backlog are counted, and the target sink is told the count once
// (EventsLost), in the place where the loss began.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "filewatch/change_sink.h"
#include "filewatch/event_poster.h"
#include "filewatch/ref.h"
#include "platform/wait_event.h"

namespace torvane::filewatch {

class QueuedSink final : public ChangeSink {
 public:
  // Null when memory runs out. `directory` is the watched directory, named
  // in a loss notice.
  static Ref<QueuedSink> Create(Ref<ChangeSink> target, std::string directory);

  void FileCreated(const std::string& path) override;
  void FileDeleted(const std::string& path) override;
  void FileRenamed(const std::string& old_path, const std::string& new_path) override;
  void FileChanged(const std::string& path) override;
  void ReadError(std::uint32_t error, const std::string& directory) override;
  void WatchBegun(std::uint32_t error, const std::string& directory) override;
  void WatchEnded(const std::string& directory) override;
  // As WatchEnded, but only posts: for a stop requested on the notification
  // thread itself, which cannot deliver while it waits for the stop.
  void PostWatchEnded(const std::string& directory);

  // The owning watch is going away: nothing more is posted, and this sink's
  // poster (perhaps the last, ending the notification thread) goes. Events
  // already queued are still delivered; each holds a count on this sink.
  void Detach();

  // On the notification thread: hands `event` to the target sink.
  void Deliver(const SinkEvent& event);

 private:
  template <class T, class... Args>
  friend Ref<T> MakeRef(Args&&... args);
  QueuedSink(Ref<ChangeSink> target, std::string directory);
  ~QueuedSink() override = default;

  bool Post(EventKind kind, const std::string& path, const std::string* second,
            std::uint32_t error, std::uint64_t* sequence = nullptr);
  // A file event was refused: count it, and queue one loss notice unless
  // one is already waiting.
  void CountLoss(const std::string& path);

  const Ref<ChangeSink> target_;  // released with this sink, after its last event
  const std::string directory_;
  std::mutex post_lock_;
  std::unique_ptr<EventPoster> poster_;  // guarded by post_lock_
  platform::WaitEvent delivered_{platform::WaitEvent::Reset::kAuto};
  std::atomic<std::uint64_t> lost_{0};       // refused since the last notice
  std::atomic<bool> notice_queued_{false};   // a loss notice is on its way
};

}  // namespace torvane::filewatch
