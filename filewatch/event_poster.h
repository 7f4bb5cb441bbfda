#pragma once
// Posts SinkEvents to the change notification thread, the one thread on
// which every watch's notifications are delivered, one at a time, in the
// order posted. The thread starts with the first EventPoster and ends with
// the last.
//
// Events wait in one process-wide backlog in memory rather than in the
// thread's message queue, whose 10,000 messages a burst of file activity
// fills while each event is being reported; the thread's queue only carries
// a wake-up message when the backlog turns non-empty. The backlog is bounded
// by bytes: a file event that does not fit is refused and its sink counts
// the loss (QueuedSink).
#include <cstddef>
#include <cstdint>
#include <memory>

#include "filewatch/sink_event.h"

namespace torvane::platform {
class MessageThread;
}

namespace torvane::filewatch {

// The thread message that wakes the notification thread to deliver the
// backlog.
inline constexpr std::uint32_t kSinkEventMessage = 0x8400;

// Room for file events in the backlog (their texts and bookkeeping): about
// 150,000 events of ordinary path lengths. Watch begun / ended / error and
// loss notices may use a little more, so they are never refused for room.
inline constexpr std::size_t kBacklogLimit = 32u << 20;
inline constexpr std::size_t kBacklogControlRoom = 1u << 20;

class EventPoster {
 public:
  EventPoster();
  ~EventPoster();
  EventPoster(const EventPoster&) = delete;
  EventPoster& operator=(const EventPoster&) = delete;

  // Queues the event for the notification thread; false when it was refused
  // (no thread, or no room), and then the event is freed. `sequence`, when
  // given, receives the event's place in the order of all events posted.
  bool Post(std::unique_ptr<SinkEvent> event, std::uint64_t* sequence = nullptr);

  // How many events posted before `sequence` have not been fully delivered.
  static std::uint64_t PendingBefore(std::uint64_t sequence);

  // Whether the caller is on the notification thread.
  static bool OnNotificationThread();
  // How many notification threads have been started so far (diagnostics).
  static std::uint64_t ThreadsStarted();
  // Whether a notification thread is running now.
  static bool ThreadRunning();

  // Sets the room for file events in the backlog (tests, benchmarks);
  // returns the previous room.
  static std::size_t SetBacklogLimit(std::size_t bytes);

 private:
  std::shared_ptr<platform::MessageThread> thread_;
};

}  // namespace torvane::filewatch
