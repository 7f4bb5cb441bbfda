#include "filewatch/queued_sink.h"

#include "platform/beep.h"

namespace torvane::filewatch {
namespace {

constexpr std::uint32_t kDeliveryWaitSliceMs = 5000;

}  // namespace

Ref<QueuedSink> QueuedSink::Create(Ref<ChangeSink> target) {
  Ref<QueuedSink> sink = MakeRef<QueuedSink>(std::move(target));
  if (!sink) return sink;
  sink->poster_.reset(new (std::nothrow) EventPoster);
  if (!sink->poster_ || !sink->delivered_.ok()) sink.reset();
  return sink;
}

QueuedSink::QueuedSink(Ref<ChangeSink> target) : target_(std::move(target)) {}

bool QueuedSink::Post(EventKind kind, const std::string& path, const std::string* second,
                      std::uint32_t error) {
  std::unique_ptr<SinkEvent> event;
  try {
    event.reset(new SinkEvent);
    event->kind = kind;
    event->path = path;
    if (second) event->second_path = *second;
    event->error = error;
  } catch (const std::bad_alloc&) {
    return false;  // no memory: the notification is dropped
  }
  event->owner = Ref<QueuedSink>::Share(this);
  std::lock_guard guard(post_lock_);
  return poster_ && poster_->Post(std::move(event));
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
  if (!Post(EventKind::kWatchEnded, directory, nullptr, 0)) return;  // nothing will come
  while (!delivered_.Wait(kDeliveryWaitSliceMs)) {
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

void QueuedSink::Discard(const SinkEvent& e) {
  if (e.kind == EventKind::kWatchEnded) delivered_.Set();
}

}  // namespace torvane::filewatch
