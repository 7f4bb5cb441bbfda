#pragma once
// Posts SinkEvents to the change notification thread, the one thread on
// which every watch's notifications are delivered, one at a time, in the
// order posted. The thread starts with the first EventPoster and ends with
// the last.
#include <cstdint>
#include <memory>

#include "filewatch/sink_event.h"

namespace torvane::platform {
class MessageThread;
}

namespace torvane::filewatch {

// The thread message that carries a SinkEvent.
inline constexpr std::uint32_t kSinkEventMessage = 0x8400;

class EventPoster {
 public:
  EventPoster();
  ~EventPoster();
  EventPoster(const EventPoster&) = delete;
  EventPoster& operator=(const EventPoster&) = delete;

  // Hands the event to the notification thread; false when it was refused
  // (no thread, or its queue full), and then the event is freed.
  bool Post(std::unique_ptr<SinkEvent> event);

  // Whether the caller is on the notification thread.
  static bool OnNotificationThread();
  // How many notification threads have been started so far (diagnostics).
  static std::uint64_t ThreadsStarted();
  // Whether a notification thread is running now.
  static bool ThreadRunning();

 private:
  std::shared_ptr<platform::MessageThread> thread_;
};

}  // namespace torvane::filewatch
