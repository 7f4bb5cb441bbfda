#include "filewatch/folder_monitor.h"

#include <algorithm>

#include "filewatch/event_poster.h"
#include "platform/codepage.h"
#include "platform/privileges.h"

namespace torvane::filewatch {
namespace {

char16_t Fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

// Compared as characters, not bytes: a double-byte character's second byte
// may look like an ASCII letter.
bool SamePath(std::string_view a, std::string_view b) {
  const std::u16string x = platform::AnsiToUtf16(a);
  const std::u16string y = platform::AnsiToUtf16(b);
  return std::equal(x.begin(), x.end(), y.begin(), y.end(),
                    [](char16_t p, char16_t q) { return Fold(p) == Fold(q); });
}

// Counts the calling thread's operations in progress on the monitor.
class Depth {
 public:
  explicit Depth(int& depth) : depth_(depth) { ++depth_; }
  ~Depth() { --depth_; }
  Depth(const Depth&) = delete;
  Depth& operator=(const Depth&) = delete;

 private:
  int& depth_;
};

}  // namespace

FolderMonitor::FolderMonitor() = default;

FolderMonitor::~FolderMonitor() { UnwatchAll(); }

template <class Match>
FolderMonitor::Watches FolderMonitor::Detach(Match match) {
  Watches out;
  std::lock_guard guard(list_lock_);
  for (auto& slot : watches_) {
    if (slot && match(*slot)) out.push_back(std::move(slot));
  }
  return out;
}

std::unique_ptr<FolderWatch> FolderMonitor::Insert(std::unique_ptr<FolderWatch> watch) {
  std::lock_guard guard(list_lock_);
  // Its first reads came and a later one failed before it got here: the
  // worker gave it up (the sink has had ReadError) but could not find it.
  if (watch->failed()) return watch;
  const auto empty = std::find(watches_.begin(), watches_.end(), nullptr);
  if (empty != watches_.end()) {
    *empty = std::move(watch);
  } else {
    watches_.push_back(std::move(watch));
  }
  return nullptr;
}

void FolderMonitor::StopAndDestroy(Watches& watches) {
  for (auto& watch : watches) {
    const bool stopped = watch->Stop(*port_);
    watch->sink().ReleaseBinding();
    if (!stopped) {
      // A read may still be outstanding into the watch's buffer.
      [[maybe_unused]] FolderWatch* leaked = watch.release();
    }
    watch.reset();
  }
  watches.clear();
}

std::uint32_t FolderMonitor::WatchFolder(std::string_view path, std::uint32_t filter,
                                         ChangeSink* sink, bool subtree) {
  if (path.empty() || filter == 0 || !sink) return platform::error::kInvalidParameter;
  if (!platform::IsDirectoryPath(path)) return platform::error::kBadPathname;

  std::lock_guard ops(ops_);
  Depth depth(depth_);
  UnwatchFolder(path);

  static std::once_flag privileges;
  std::call_once(privileges, platform::EnableDirectoryWatchPrivileges);

  std::uint32_t error = 0;
  auto dir = platform::ChangeDirectory::Open(path, error);
  if (!dir) return error;
  auto watch = FolderWatch::Create(std::move(dir), std::string(path), filter, subtree, *sink, error);
  if (!watch) return error;

  if (!port_) {
    port_ = platform::ChangePort::Create(error);
    if (!port_) return error;
  }
  error = port_->Associate(watch->directory(), watch->key());
  if (error != 0) return error;

  if (worker_.joinable() && !worker_alive_) worker_.join();  // it ended on a failed wait
  if (!worker_.joinable()) {
    try {
      worker_alive_ = true;
      worker_ = std::thread([this, port = port_.get()] { Worker(*port); });
    } catch (const std::system_error& e) {
      worker_alive_ = false;
      return e.code().value() ? static_cast<std::uint32_t>(e.code().value())
                              : platform::error::kMaxThreadsReached;
    }
  }

  error = watch->Start(*port_);
  if (error != 0) return error;  // the refused read left nothing outstanding

  sink->Bind(*this);
  if (auto given_up = Insert(std::move(watch))) sink->ReleaseBinding();
  return 0;
}

bool FolderMonitor::UnwatchFolder(std::string_view path) {
  std::lock_guard ops(ops_);
  Depth depth(depth_);
  Watches found = Detach([&](FolderWatch& w) { return SamePath(w.path(), path); });
  const bool any = !found.empty();
  StopAndDestroy(found);
  return any;
}

bool FolderMonitor::UnwatchSink(ChangeSink* sink) {
  std::lock_guard ops(ops_);
  Depth depth(depth_);
  Watches found = Detach([&](FolderWatch& w) { return &w.sink() == sink; });
  const bool any = !found.empty();
  StopAndDestroy(found);
  return any;
}

bool FolderMonitor::UnwatchAll() {
  std::lock_guard ops(ops_);
  Depth depth(depth_);
  if (!worker_.joinable()) return false;
  // Watches added by window messages handled during the stops are stopped
  // in the next round.
  for (;;) {
    Watches all = Detach([](FolderWatch&) { return true; });
    if (all.empty()) break;
    StopAndDestroy(all);
  }
  // Called again from inside one of our own waits: the outer call ends the
  // worker once its stops are done.
  if (depth_ > 1) return true;
  {
    std::lock_guard guard(list_lock_);
    watches_.clear();
  }
  if (worker_alive_) {
    while (!port_->Post(0, 0)) std::this_thread::yield();
  }
  worker_.join();
  port_.reset();
  return true;
}

std::size_t FolderMonitor::WatchCount() const {
  std::lock_guard guard(list_lock_);
  return static_cast<std::size_t>(
      std::count_if(watches_.begin(), watches_.end(), [](const auto& w) { return w != nullptr; }));
}

bool FolderMonitor::WorkerRunning() const { return worker_alive_; }

void FolderMonitor::RemoveFailed(FolderWatch* watch) {
  std::unique_ptr<FolderWatch> owned;
  {
    std::lock_guard guard(list_lock_);
    for (auto& slot : watches_) {
      if (slot.get() == watch) {
        owned = std::move(slot);
        break;
      }
    }
  }
  // Not in the list: a caller is stopping it, or has not put it there yet;
  // that caller destroys it.
  if (!owned) return;
  owned->sink().ReleaseBinding();
  owned.reset();
}

void FolderMonitor::Worker(platform::ChangePort& port) {
  for (;;) {
    const platform::PortPacket packet = port.Wait();
    if (!packet.dequeued || packet.key == 0) break;
    auto* watch = reinterpret_cast<FolderWatch*>(packet.key);
    if (watch->OnPacket(packet) == FolderWatch::Outcome::kFailed) RemoveFailed(watch);
  }
  worker_alive_ = false;
}

}  // namespace torvane::filewatch
