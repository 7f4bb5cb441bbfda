#pragma once
// A change sink that records every call with the thread it came on, and
// helpers to wait for what a test expects.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "filewatch/change_sink.h"
#include "filewatch/ref.h"

namespace torvane::filewatch::test {

struct Call {
  EventKind kind;
  std::string path;
  std::string second;
  std::uint32_t error = 0;
  std::thread::id thread;
};

class RecordingSink final : public ChangeSink {
 public:
  static Ref<RecordingSink> Make() { return MakeRef<RecordingSink>(); }

  void FileCreated(const std::string& p) override { Add({EventKind::kCreated, p, {}, 0, {}}); }
  void FileDeleted(const std::string& p) override { Add({EventKind::kDeleted, p, {}, 0, {}}); }
  void FileChanged(const std::string& p) override { Add({EventKind::kChanged, p, {}, 0, {}}); }
  void FileRenamed(const std::string& o, const std::string& n) override {
    Add({EventKind::kRenamed, o, n, 0, {}});
  }
  void ReadError(std::uint32_t e, const std::string& d) override {
    Add({EventKind::kReadError, d, {}, e, {}});
  }
  void WatchBegun(std::uint32_t e, const std::string& d) override {
    Add({EventKind::kWatchBegun, d, {}, e, {}});
  }
  void WatchEnded(const std::string& d) override { Add({EventKind::kWatchEnded, d, {}, 0, {}}); }
  bool AcceptEvent(EventKind kind, const std::string&, const std::string*) override {
    std::lock_guard guard(lock_);
    return refused_.count(kind) == 0;
  }

  void Refuse(EventKind kind) {
    std::lock_guard guard(lock_);
    refused_.insert(kind);
  }

  std::vector<Call> calls() {
    std::lock_guard guard(lock_);
    return calls_;
  }

  // Waits (up to 10 s) until `done` holds for the calls so far.
  bool WaitFor(const std::function<bool(const std::vector<Call>&)>& done) {
    std::unique_lock lock(lock_);
    return cv_.wait_for(lock, std::chrono::seconds(10), [&] { return done(calls_); });
  }
  bool WaitForCall(EventKind kind, const std::string& path, const std::string& second = {}) {
    return WaitFor([&](const std::vector<Call>& calls) { return Has(calls, kind, path, second); });
  }
  bool WaitForKind(EventKind kind) {
    return WaitFor([&](const std::vector<Call>& calls) {
      for (const auto& c : calls) {
        if (c.kind == kind) return true;
      }
      return false;
    });
  }
  std::size_t Count(EventKind kind) {
    std::lock_guard guard(lock_);
    std::size_t n = 0;
    for (const auto& c : calls_) n += c.kind == kind;
    return n;
  }

  static bool Has(const std::vector<Call>& calls, EventKind kind, const std::string& path,
                  const std::string& second = {}) {
    for (const auto& c : calls) {
      if (c.kind == kind && c.path == path && c.second == second) return true;
    }
    return false;
  }

 private:
  template <class T, class... Args>
  friend Ref<T> filewatch::MakeRef(Args&&... args);
  RecordingSink() = default;
  ~RecordingSink() override = default;

  void Add(Call c) {
    c.thread = std::this_thread::get_id();
    {
      std::lock_guard guard(lock_);
      calls_.push_back(std::move(c));
    }
    cv_.notify_all();
  }

  std::mutex lock_;
  std::condition_variable cv_;
  std::vector<Call> calls_;
  std::set<EventKind> refused_;
};

}  // namespace torvane::filewatch::test
