#include "filewatch/event_poster.h"

#include <chrono>
#include <deque>
#include <mutex>
#include <vector>

#include "filewatch/queued_sink.h"
#include "platform/thread_queue.h"

namespace torvane::filewatch {
namespace {

// How long the last poster waits for the notification thread to finish
// what is queued before leaving it to finish on its own.
constexpr std::chrono::milliseconds kEndWait{1500};

std::size_t Cost(const SinkEvent& e) {
  return sizeof(SinkEvent) + e.path.size() + (e.second_path ? e.second_path->size() : 0);
}

// The events waiting for delivery, oldest first. At most one wake-up is
// outstanding: `waking` stays set from the wake-up's post until a delivery
// round finds the backlog empty, so only one thread ever delivers at a time.
struct Backlog {
  std::mutex lock;
  std::deque<std::unique_ptr<SinkEvent>> events;
  std::size_t bytes = 0;
  std::size_t limit = kBacklogLimit;
  bool waking = false;
  std::uint64_t posted = 0;     // sequence of the latest event queued
  std::uint64_t delivered = 0;  // events whose delivery has finished
};

Backlog& Queue() {
  static Backlog& backlog = *new Backlog;
  return backlog;
}

// On the notification thread: delivers until the backlog is empty.
void DeliverBacklog() {
  Backlog& b = Queue();
  for (;;) {
    std::unique_ptr<SinkEvent> event;
    {
      std::lock_guard guard(b.lock);
      if (b.events.empty()) {
        b.waking = false;
        return;
      }
      event = std::move(b.events.front());
      b.events.pop_front();
      b.bytes -= Cost(*event);
    }
    event->owner->Deliver(*event);
    event.reset();
    std::lock_guard guard(b.lock);
    ++b.delivered;
  }
}

void OnMessage(std::uint32_t message, std::uintptr_t, bool discard) {
  // A wake-up left over when a thread quits needs nothing: the backlog keeps
  // its events for the next delivering thread.
  if (message == kSinkEventMessage && !discard) DeliverBacklog();
}

// The module-wide notification thread. A thread that did not end in time
// (it is still delivering a backlog) is retired rather than killed (killing
// it could leave a lock held or a report half done); it ends by itself once
// the backlog is empty, and is joined later. Deliveries never overlap: only
// the thread that holds the one wake-up delivers.
struct Notifier {
  std::mutex lock;
  std::int32_t posters = 0;
  std::shared_ptr<platform::MessageThread> current;
  std::vector<std::shared_ptr<platform::MessageThread>> retired;
  std::uint64_t started = 0;

  void JoinEndedRetired() {
    std::erase_if(retired, [](const auto& t) {
      if (t->IsCurrent() || !t->WaitEnded(std::chrono::milliseconds(0))) return false;
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
    n.JoinEndedRetired();
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

bool EventPoster::Post(std::unique_ptr<SinkEvent> event, std::uint64_t* sequence) {
  if (!thread_ || !event) return false;
  Backlog& b = Queue();
  bool wake = false;
  std::uint64_t mine = 0;
  {
    std::lock_guard guard(b.lock);
    const std::size_t cost = Cost(*event);
    const std::size_t room = IsFileEvent(event->kind) ? b.limit : b.limit + kBacklogControlRoom;
    if (b.bytes + cost > room) return false;
    b.events.push_back(std::move(event));
    b.bytes += cost;
    mine = ++b.posted;
    wake = !b.waking;
    b.waking = true;
  }
  if (wake && !thread_->Post(kSinkEventMessage, 0)) {
    // No thread takes the wake-up: the event is refused (when nothing came
    // after it); what else is queued waits for the next post to wake one.
    std::lock_guard guard(b.lock);
    b.waking = false;
    if (b.posted == mine && !b.events.empty()) {
      b.bytes -= Cost(*b.events.back());
      b.events.pop_back();
      --b.posted;
      return false;
    }
  }
  if (sequence) *sequence = mine;
  return true;
}

std::uint64_t EventPoster::PendingBefore(std::uint64_t sequence) {
  Backlog& b = Queue();
  std::lock_guard guard(b.lock);
  return sequence > b.delivered + 1 ? sequence - 1 - b.delivered : 0;
}

std::size_t EventPoster::SetBacklogLimit(std::size_t bytes) {
  Backlog& b = Queue();
  std::lock_guard guard(b.lock);
  const std::size_t old = b.limit;
  b.limit = bytes;
  return old;
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
