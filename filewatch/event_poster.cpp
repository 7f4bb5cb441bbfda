#include "filewatch/event_poster.h"

#include <chrono>
#include <mutex>
#include <vector>

#include "filewatch/queued_sink.h"
#include "platform/thread_queue.h"

namespace torvane::filewatch {
namespace {

// How long the last poster waits for the notification thread to finish
// what is queued before leaving it to finish on its own.
constexpr std::chrono::milliseconds kEndWait{1500};

void OnMessage(std::uint32_t message, std::uintptr_t payload, bool discard) {
  if (message != kSinkEventMessage || payload == 0) return;
  const std::unique_ptr<SinkEvent> event(reinterpret_cast<SinkEvent*>(payload));
  if (discard) {
    event->owner->Discard(*event);
  } else {
    event->owner->Deliver(*event);
  }
}

// The module-wide notification thread. A thread that did not end in time is
// retired rather than killed (killing it could leave a lock held or a
// report half done) and joined before the next thread starts, so deliveries
// never overlap.
struct Notifier {
  std::mutex lock;
  std::int32_t posters = 0;
  std::shared_ptr<platform::MessageThread> current;
  std::vector<std::shared_ptr<platform::MessageThread>> retired;
  std::uint64_t started = 0;

  void JoinRetired() {
    std::erase_if(retired, [](const auto& t) {
      if (t->IsCurrent()) return false;
      t->Join();
      return true;
    });
  }
};

// Lives as long as the process: threads still delivering at exit must find it.
Notifier& State() {
  static Notifier& state = *new Notifier;
  return state;
}

}  // namespace

EventPoster::EventPoster() {
  Notifier& n = State();
  std::lock_guard guard(n.lock);
  ++n.posters;
  if (!n.current) {
    n.JoinRetired();
    std::uint32_t error = 0;
    n.current = platform::MessageThread::Start(OnMessage, error);
    if (n.current) ++n.started;
  }
  thread_ = n.current;
}

EventPoster::~EventPoster() {
  Notifier& n = State();
  std::lock_guard guard(n.lock);
  if (--n.posters > 0) return;
  n.posters = 0;
  if (!n.current) return;
  // The last watch was stopped by a sink, on the notification thread: the
  // thread stays for the next poster, or for the next last one to end it.
  if (n.current->IsCurrent()) return;
  n.current->Quit();
  if (n.current->WaitEnded(kEndWait)) {
    n.current->Join();
  } else {
    n.retired.push_back(n.current);
  }
  n.current.reset();
}

bool EventPoster::Post(std::unique_ptr<SinkEvent> event) {
  if (!thread_ || !event) return false;
  SinkEvent* raw = event.release();
  if (thread_->Post(kSinkEventMessage, reinterpret_cast<std::uintptr_t>(raw))) return true;
  event.reset(raw);  // refused: still ours to free
  return false;
}

bool EventPoster::OnNotificationThread() {
  Notifier& n = State();
  std::lock_guard guard(n.lock);
  if (n.current && n.current->IsCurrent()) return true;
  for (const auto& t : n.retired) {
    if (t->IsCurrent()) return true;
  }
  return false;
}

std::uint64_t EventPoster::ThreadsStarted() {
  Notifier& n = State();
  std::lock_guard guard(n.lock);
  return n.started;
}

bool EventPoster::ThreadRunning() {
  Notifier& n = State();
  std::lock_guard guard(n.lock);
  return n.current != nullptr;
}

}  // namespace torvane::filewatch
