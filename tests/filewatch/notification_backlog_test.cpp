// The notification thread under a burst: events queue in memory beyond the
// thread queue's 10,000 messages, a loss for want of room is counted and told
// once, and the end of a watch does not wait behind a backlog.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "config/host_directory.h"
#include "filewatch/audit_reporter.h"
#include "filewatch/event_poster.h"
#include "filewatch/file_audit_sink.h"
#include "filewatch/queued_sink.h"
#include "support/temp_dir.h"

namespace torvane::filewatch {
namespace {

using namespace std::chrono_literals;

// Records file events, losses and the end; the first file event holds the
// notification thread until the test opens the gate.
class HeldSink final : public ChangeSink {
 public:
  void FileCreated(const std::string& path) override {
    std::unique_lock lock(lock_);
    cv_.wait(lock, [&] { return open_; });
    log_.push_back(path);
    cv_.notify_all();
  }
  void EventsLost(std::uint64_t count, const std::string& directory) override {
    std::lock_guard guard(lock_);
    log_.push_back("lost " + std::to_string(count) + " " + directory);
    cv_.notify_all();
  }
  void WatchEnded(const std::string&) override {
    std::lock_guard guard(lock_);
    log_.push_back("end");
    cv_.notify_all();
  }

  void Open() {
    std::lock_guard guard(lock_);
    open_ = true;
    cv_.notify_all();
  }
  // Holds the next file event again.
  void Close() {
    std::lock_guard guard(lock_);
    open_ = false;
  }
  // Waits (up to a minute) for the `n`th loss notice to arrive.
  void WaitForNotice(std::size_t n) {
    std::unique_lock lock(lock_);
    cv_.wait_for(lock, 60s, [&] {
      std::size_t notices = 0;
      for (const auto& entry : log_) notices += entry.rfind("lost ", 0) == 0;
      return notices >= n;
    });
  }
  // Waits (up to a minute, against a hang) for the `n`th end to arrive.
  std::vector<std::string> WaitForEnd(std::size_t n = 1) {
    std::unique_lock lock(lock_);
    cv_.wait_for(lock, 60s, [&] {
      std::size_t ends = 0;
      for (const auto& entry : log_) ends += entry == "end";
      return ends >= n;
    });
    return log_;
  }

 private:
  std::mutex lock_;
  std::condition_variable cv_;
  bool open_ = false;
  std::vector<std::string> log_;
};

class NotificationBacklog : public ::testing::Test {
 protected:
  void SetUp() override {
    target_ = MakeRef<HeldSink>();
    queued_ = QueuedSink::Create(Ref<ChangeSink>::Share(target_.get()), "q:\\");
    ASSERT_TRUE(queued_);
  }
  void TearDown() override {
    if (limit_) EventPoster::SetBacklogLimit(*limit_);
    if (queued_) queued_->Detach();
  }
  static std::string File(int i) { return "q:\\f" + std::to_string(i); }

  Ref<HeldSink> target_;
  Ref<QueuedSink> queued_;
  std::optional<std::size_t> limit_;
};

TEST_F(NotificationBacklog, ABurstBeyondTheThreadQueueArrivesWholeAndInOrder) {
  constexpr int kEvents = 25000;  // two and a half times the thread queue
  for (int i = 0; i < kEvents; ++i) queued_->FileCreated(File(i));
  target_->Open();
  queued_->WatchEnded("q:\\");
  const auto log = target_->WaitForEnd();
  ASSERT_EQ(log.size(), kEvents + 1u);
  for (int i = 0; i < kEvents; ++i) ASSERT_EQ(log[i], File(i));
}

TEST_F(NotificationBacklog, ALossIsCountedAndToldOnceWhereItBegan) {
  limit_ = EventPoster::SetBacklogLimit(200 * (sizeof(SinkEvent) + File(0).size()));
  constexpr int kEvents = 3000;
  for (int i = 0; i < kEvents; ++i) queued_->FileCreated(File(i));
  target_->Open();
  queued_->WatchEnded("q:\\");
  auto log = target_->WaitForEnd();
  ASSERT_GE(log.size(), 3u);
  const std::string notice = log[log.size() - 2];
  ASSERT_EQ(notice.rfind("lost ", 0), 0u) << "the notice follows the events that fitted";
  const std::size_t delivered = log.size() - 2;
  EXPECT_GE(delivered, 150u);
  EXPECT_EQ(notice, "lost " + std::to_string(kEvents - delivered) + " q:\\");
  for (std::size_t i = 0; i < delivered; ++i) ASSERT_EQ(log[i], File(static_cast<int>(i)));

  // With room again, a new loss is a new notice; none comes without one.
  const auto after = QueuedSink::Create(Ref<ChangeSink>::Share(target_.get()), "q:\\");
  after->FileCreated("q:\\later");
  after->WatchEnded("q:\\");
  log = target_->WaitForEnd(2);
  EXPECT_EQ(log[log.size() - 2], "q:\\later");
  after->Detach();
}

// Two losses on one watch, the first notice delivered in between: the second
// notice counts only the events lost since the first.
TEST_F(NotificationBacklog, ASecondLossIsCountedFromTheFirstNotice) {
  limit_ = EventPoster::SetBacklogLimit(200 * (sizeof(SinkEvent) + File(0).size()));
  constexpr int kEvents = 2000;
  for (int i = 0; i < kEvents; ++i) queued_->FileCreated(File(i));
  target_->Open();
  target_->WaitForNotice(1);
  target_->Close();
  for (int i = 0; i < kEvents; ++i) queued_->FileCreated("q:\\g" + std::to_string(i));
  target_->Open();
  queued_->WatchEnded("q:\\");
  const auto log = target_->WaitForEnd();
  // Each burst: the events that fitted, then one notice with the rest.
  std::vector<std::uint64_t> delivered(1, 0), notices;
  for (const auto& entry : log) {
    if (entry.rfind("lost ", 0) == 0) {
      notices.push_back(std::stoull(entry.substr(5)));
      delivered.push_back(0);
    } else if (entry != "end") {
      ++delivered.back();
    }
  }
  ASSERT_EQ(notices.size(), 2u) << "one notice per loss";
  EXPECT_EQ(delivered[0] + notices[0], static_cast<std::uint64_t>(kEvents));
  EXPECT_EQ(delivered[1] + notices[1], static_cast<std::uint64_t>(kEvents));
  EXPECT_EQ(delivered[2], 0u);
}

TEST_F(NotificationBacklog, TheEndOfAWatchDoesNotWaitBehindABacklog) {
  for (int i = 0; i < 100; ++i) queued_->FileCreated(File(i));
  // The notification thread is held in the first event: the stop must come
  // back anyway, and everything still arrives afterwards, the end last.
  auto stop = std::async(std::launch::async, [&] { queued_->WatchEnded("q:\\"); });
  const bool returned = stop.wait_for(60s) == std::future_status::ready;
  target_->Open();
  ASSERT_TRUE(returned) << "the stop waited behind the backlog";
  const auto log = target_->WaitForEnd();
  ASSERT_EQ(log.size(), 101u);
  EXPECT_EQ(log.front(), File(0));
  EXPECT_EQ(log[99], File(99));
}

TEST(FileAuditSinkLoss, OneLogLineAndOneEventWithTheCount) {
  test::TempDir host;
  config::SetHostDirectoryOverride(host.dir());
  std::vector<std::string> texts;
  const auto previous = SetAuditReporter(
      [&](std::string_view text, std::int32_t type) {
        EXPECT_EQ(type, kAuditEventType);
        texts.emplace_back(text);
      });
  auto sink = MakeRef<FileAuditSink>();
  sink->EventsLost(1234, "e:\\");
  SetAuditReporter(previous);
  config::SetHostDirectoryOverride(std::nullopt);

  // 丢失文件事件：e:\， 数量∶1234． in GBK
  EXPECT_EQ(texts, std::vector<std::string>{"\xb6\xaa\xca\xa7\xce\xc4\xbc\xfe\xca\xc2\xbc\xfe\xa3\xba"
                                            "e:\\\xa3\xac \xca\xfd\xc1\xbf\xa1\xc3" "1234\xa3\xae"});
  std::ifstream in(host.dir() + "usboperror.log", std::ios::binary);
  const std::string log((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(log.find(" Error:File events lost: 1234 of e:\\ (notification backlog full)\r\n"),
            std::string::npos)
      << log;
}

}  // namespace
}  // namespace torvane::filewatch
