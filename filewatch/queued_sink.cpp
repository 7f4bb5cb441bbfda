#include "filewatch/queued_sink.h"

#include <chrono>

#include "platform/beep.h"

namespace torvane::filewatch {
namespace {

// A stop waits for its end to be delivered in slices of this length...
constexpr std::uint32_t kDeliveryWaitSliceMs = 100;
// ...without limit while nothing is waiting ahead of the end (the end itself
// may be in a sink's hands), but at most this many slices while other events
// are: those are delivered after the stop has returned.
constexpr int kBacklogWaitSlices = 10;

}  // namespace

Ref<QueuedSink> QueuedSink::Create(Ref<ChangeSink> target, std::string directory) {
  Ref<QueuedSink> sink;
  try {
    sink = MakeRef<QueuedSink>(std::move(target), std::move(directory));
  } catch (const std::bad_alloc&) {
    return sink;
  }
  if (!sink) return sink;
  sink->poster_.reset(new (std::nothrow) EventPoster);
  if (!sink->poster_ || !sink->delivered_.ok()) sink.reset();
  return sink;
}

QueuedSink::QueuedSink(Ref<ChangeSink> target, std::string directory)
    : target_(std::move(target)), directory_(std::move(directory)) {}

bool QueuedSink::Post(EventKind kind, const std::string& path, const std::string* second,
                      std::uint32_t error, std::uint64_t* sequence) {
  std::unique_ptr<SinkEvent> event;
  try {
    event.reset(new SinkEvent);
    event->kind = kind;
    event->path = path;
    if (second) event->second_path = *second;
    event->error = error;
  } catch (const std::bad_alloc&) {
    if (IsFileEvent(kind)) CountLoss(path);
    return false;  // no memory: the notification is dropped
  }
  event->owner = Ref<QueuedSink>::Share(this);
  bool posted = false;
  {
    std::lock_guard guard(post_lock_);
    if (!poster_) return false;  // the watch is gone
    posted = poster_->Post(std::move(event), sequence);
  }
  if (!posted && IsFileEvent(kind)) CountLoss(path);
  return posted;
}

void QueuedSink::CountLoss(const std::string& path) {
  lost_.fetch_add(1);
  if (notice_queued_.exchange(true)) return;
  // The notice is queued where the loss began; it reads the count when it
  // is delivered, so losses until then are in it.
  if (!Post(EventKind::kEventsLost, path, nullptr, 0)) notice_queued_ = false;
}

void QueuedSink::FileCreated(const std::string& path) {
  Post(EventKind::kCreated, path, nullptr, 0);
}
void QueuedSink::FileDeleted(const std::string& path) {
  Post(EventKind::kDeleted, path, nullptr, 0);
}
void QueuedSink::FileRenamed(const std::string& old_path, const std::string& new_path) {
  Post(EventKind::kRenamed, old_path, &new_path, 0);
}
void QueuedSink::FileChanged(const std::string& path) {
  Post(EventKind::kChanged, path, nullptr, 0);
}
void QueuedSink::ReadError(std::uint32_t error, const std::string& directory) {
  Post(EventKind::kReadError, directory, nullptr, error);
}
void QueuedSink::WatchBegun(std::uint32_t error, const std::string& directory) {
  Post(EventKind::kWatchBegun, directory, nullptr, error);
}

void QueuedSink::WatchEnded(const std::string& directory) {
  delivered_.ResetSignal();
  std::uint64_t sequence = 0;
  if (!Post(EventKind::kWatchEnded, directory, nullptr, 0, &sequence)) return;  // nothing will come
  int behind_backlog = 0;
  while (!delivered_.Wait(kDeliveryWaitSliceMs)) {
    if (EventPoster::PendingBefore(sequence) == 0) {
      behind_backlog = 0;
    } else if (++behind_backlog >= kBacklogWaitSlices) {
      return;
    }
  }
}

void QueuedSink::PostWatchEnded(const std::string& directory) {
  Post(EventKind::kWatchEnded, directory, nullptr, 0);
}

void QueuedSink::Detach() {
  std::unique_ptr<EventPoster> poster;
  {
    std::lock_guard guard(post_lock_);
    poster = std::move(poster_);
  }
}

void QueuedSink::Deliver(const SinkEvent& e) {
  ChangeSink* target = target_.get();
  const std::string* second = e.second_path ? &*e.second_path : nullptr;
  if (e.kind == EventKind::kWatchEnded) {
    try {
      if (target) target->WatchEnded(e.path);
    } catch (...) {
      platform::AlertBeep();
      platform::AlertBeep();
    }
    delivered_.Set();
    return;
  }
  if (e.kind == EventKind::kEventsLost) {
    // Losses after this point start a new notice.
    notice_queued_ = false;
    const std::uint64_t count = lost_.exchange(0);
    if (!target || count == 0) return;
    try {
      target->EventsLost(count, directory_);
    } catch (...) {
    }
    return;
  }
  if (!target) return;
  // A sink's exception ends with the sink: it must not end the thread.
  try {
    switch (e.kind) {
      case EventKind::kReadError:
        target->ReadError(e.error, e.path);
        return;
      case EventKind::kWatchBegun:
        target->WatchBegun(e.error, e.path);
        return;
      default:
        break;
    }
    if (!target->AcceptEvent(e.kind, e.path, second)) return;
    switch (e.kind) {
      case EventKind::kCreated:
        target->FileCreated(e.path);
        break;
      case EventKind::kDeleted:
        target->FileDeleted(e.path);
        break;
      case EventKind::kChanged:
        target->FileChanged(e.path);
        break;
      case EventKind::kRenamed:
        if (second) target->FileRenamed(e.path, *second);
        break;
      default:
        break;
    }
  } catch (...) {
  }
}

}  // namespace torvane::filewatch
