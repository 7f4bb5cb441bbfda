#include "filewatch/change_sink.h"

#include "filewatch/folder_monitor.h"

namespace torvane::filewatch {

void ChangeSink::FileCreated(const std::string&) {}
void ChangeSink::FileDeleted(const std::string&) {}
void ChangeSink::FileRenamed(const std::string&, const std::string&) {}
void ChangeSink::FileChanged(const std::string&) {}
void ChangeSink::ReadError(std::uint32_t, const std::string&) {}
void ChangeSink::WatchBegun(std::uint32_t, const std::string&) {}
void ChangeSink::WatchEnded(const std::string&) {}
void ChangeSink::EventsLost(std::uint64_t, const std::string&) {}
bool ChangeSink::AcceptEvent(EventKind, const std::string&, const std::string*) { return true; }

ChangeSink::~ChangeSink() {
  // A watch holds a count on its sink, so a bound sink cannot normally reach
  // here; this covers a sink whose count was mismanaged by its owner.
  if (FolderMonitor* m = bound_monitor()) m->UnwatchSink(this);
}

void ChangeSink::AddRef() { refs_.fetch_add(1, std::memory_order_relaxed); }

void ChangeSink::Release() {
  if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

void ChangeSink::Bind(FolderMonitor& monitor) {
  std::lock_guard guard(lock_);
  monitor_ = &monitor;
  ++bindings_;
}

void ChangeSink::ReleaseBinding() {
  std::lock_guard guard(lock_);
  if (--bindings_ <= 0) {
    monitor_ = nullptr;
    bindings_ = 0;
  }
}

FolderMonitor* ChangeSink::bound_monitor() {
  std::lock_guard guard(lock_);
  return monitor_;
}

}  // namespace torvane::filewatch
