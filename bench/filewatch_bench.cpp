// File activity monitor throughput: a burst of 10,000 file creates spread
// over a small tree, as seen by a counting sink (no reporting) through the
// whole watcher (inotify -> worker -> notification thread), beside the raw
// inotify events counted directly in the same run. Also reports how many
// creates never reached the sink and how many reads overflowed.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "filewatch/change_sink.h"
#include "filewatch/folder_monitor.h"
#include "filewatch/ref.h"
#include "filewatch/gate_sink.h"
#include "platform/dir_changes.h"
#include "platform/drive_map.h"

#ifdef __linux__
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using torvane::filewatch::ChangeSink;
using torvane::filewatch::test::GateSink;

constexpr int kDirs = 10;

// A fresh folder for one run, removed afterwards.
class Tree {
 public:
  Tree() {
    static int n = 0;
    path_ = fs::temp_directory_path() /
            ("torvane-bench-" + std::to_string(Clock::now().time_since_epoch().count()) + "-" +
             std::to_string(n++));
    fs::create_directories(path_);
  }
  ~Tree() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};
constexpr int kFiles = 10000;

class CountingSink final : public ChangeSink {
 public:
  void FileCreated(const std::string&) override {
    created.fetch_add(1, std::memory_order_relaxed);
    last_ns.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
  }
  void ReadError(std::uint32_t error, const std::string&) override {
    if (error == torvane::platform::error::kNotifyEnumDir) overflows.fetch_add(1);
  }
  void WatchBegun(std::uint32_t, const std::string&) override { begun = true; }

  std::atomic<long> created{0};
  std::atomic<long> overflows{0};
  std::atomic<Clock::rep> last_ns{0};
  std::atomic<bool> begun{false};
};

#ifdef __linux__
// Counts IN_CREATE on the tree's directories directly.
class RawCounter {
 public:
  explicit RawCounter(const std::vector<fs::path>& dirs) : fd_(::inotify_init1(IN_NONBLOCK)) {
    for (const auto& d : dirs) ::inotify_add_watch(fd_, d.c_str(), IN_CREATE);
    thread_ = std::thread([this] { Run(); });
  }
  ~RawCounter() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }
  std::atomic<long> created{0};
  std::atomic<long> overflows{0};
  std::atomic<Clock::rep> last_ns{0};

 private:
  void Run() {
    alignas(inotify_event) char buf[65536];
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
        const auto* ev = reinterpret_cast<const inotify_event*>(buf + at);
        if (ev->mask & IN_CREATE) created.fetch_add(1, std::memory_order_relaxed);
        if (ev->mask & IN_Q_OVERFLOW) overflows.fetch_add(1);
        at += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
      }
      last_ns.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
    }
  }
  int fd_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
#endif

// Waits until `count` stops growing for a second (or reaches `want`).
void WaitQuiet(const std::atomic<long>& count, long want) {
  long last = -1;
  auto still_since = Clock::now();
  while (count.load() < want) {
    const long now = count.load();
    if (now != last) {
      last = now;
      still_since = Clock::now();
    } else if (Clock::now() - still_since > std::chrono::seconds(1)) {
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

double Seconds(Clock::time_point start, Clock::rep end_ns) {
  return std::chrono::duration<double>(Clock::duration(end_ns) - start.time_since_epoch()).count();
}

void BM_BurstOfCreates(benchmark::State& state) {
  double sink_total = 0, raw_total = 0, seen_total = 0, raw_seen_total = 0, overflow_total = 0;
  for (auto _ : state) {
    Tree tree;
    std::vector<fs::path> dirs{tree.path()};
    for (int d = 0; d < kDirs; ++d) {
      dirs.push_back(tree.path() / ("d" + std::to_string(d)));
      fs::create_directory(dirs.back());
    }
    torvane::platform::SetDriveRoot('b', tree.path().string());
    torvane::filewatch::FolderMonitor monitor;
    auto sink = torvane::filewatch::MakeRef<CountingSink>();
    if (monitor.WatchFolder("b:\\", 0x53, sink.get(), true) != 0) {
      state.SkipWithError("watch failed");
      break;
    }
#ifdef __linux__
    RawCounter raw(dirs);
#endif
    const auto start = Clock::now();
    for (int i = 0; i < kFiles; ++i) {
      std::ofstream(dirs[static_cast<std::size_t>(i % (kDirs + 1))] / ("f" + std::to_string(i)));
    }
    WaitQuiet(sink->created, kFiles);
    const double sink_s = Seconds(start, sink->last_ns.load());
    state.SetIterationTime(sink_s);
    sink_total += sink->created.load() / sink_s;
    seen_total += static_cast<double>(sink->created.load());
    overflow_total += static_cast<double>(sink->overflows.load());
#ifdef __linux__
    WaitQuiet(raw.created, kFiles);
    raw_total += raw.created.load() / Seconds(start, raw.last_ns.load());
    raw_seen_total += static_cast<double>(raw.created.load());
#endif
    monitor.UnwatchAll();
    torvane::platform::SetDriveRoot('b', "");
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["sink_ops_per_s"] = sink_total / n;
  state.counters["raw_inotify_ops_per_s"] = raw_total / n;
  state.counters["sink_lost_share"] = 1.0 - seen_total / (n * kFiles);
  state.counters["raw_lost_share"] = 1.0 - raw_seen_total / (n * kFiles);
  state.counters["overflowed_reads"] = overflow_total / n;
}
BENCHMARK(BM_BurstOfCreates)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// The watcher's own rate, apart from how fast files can be made: the creates
// happen while nothing reads, then the held changes are drained. Past the
// platform's queue (16384 inotify events by default) changes are lost; the
// sink is told of each overflowed read.
void BM_HeldBurst(benchmark::State& state) {
  const long files = state.range(0);
  double rate_total = 0, seen_total = 0, overflow_total = 0;
  for (auto _ : state) {
    Tree tree, other;
    torvane::platform::SetDriveRoot('b', tree.path().string());
    torvane::platform::SetDriveRoot('c', other.path().string());
    torvane::filewatch::FolderMonitor monitor;
    auto sink = torvane::filewatch::MakeRef<CountingSink>();
    auto gate = torvane::filewatch::MakeRef<GateSink>();
    if (monitor.WatchFolder("c:\\", 0x53, gate.get(), true) != 0 ||
        monitor.WatchFolder("b:\\", 0x53, sink.get(), true) != 0) {
      state.SkipWithError("watch failed");
      break;
    }
    std::thread stopper([&] { monitor.UnwatchFolder("c:\\"); });
    gate->WaitEntered();
    for (long i = 0; i < files; ++i) std::ofstream(tree.path() / ("f" + std::to_string(i)));
    const auto start = Clock::now();
    gate->Open();
    stopper.join();
    WaitQuiet(sink->created, files);
    const double s = Seconds(start, sink->last_ns.load());
    state.SetIterationTime(s > 0 ? s : 1e-9);
    rate_total += sink->created.load() / s;
    seen_total += static_cast<double>(sink->created.load());
    overflow_total += static_cast<double>(sink->overflows.load());
    monitor.UnwatchAll();
    torvane::platform::SetDriveRoot('b', "");
    torvane::platform::SetDriveRoot('c', "");
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["sink_drain_ops_per_s"] = rate_total / n;
  state.counters["lost_share"] = 1.0 - seen_total / (n * static_cast<double>(files));
  state.counters["overflowed_reads"] = overflow_total / n;
}
BENCHMARK(BM_HeldBurst)->Arg(10000)->Arg(20000)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
