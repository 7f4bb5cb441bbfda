#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "filewatch/audit_reporter.h"
#include "filewatch/drive_audit.h"
#include "watched_drive.h"

namespace torvane::filewatch {
namespace {

namespace fs = std::filesystem;
using test::WatchedDrive;

// GBK of the event texts' parts.
const std::string kCreated = "\xb4\xb4\xbd\xa8\xce\xc4\xbc\xfe\xa3\xba";   // 创建文件：
const std::string kDeleted = "\xc9\xbe\xb3\xfd\xce\xc4\xbc\xfe\xa3\xba";   // 删除文件：
const std::string kChanged = "\xd0\xde\xb8\xc4\xce\xc4\xbc\xfe\xa3\xba";   // 修改文件：
const std::string kRenamed =                                               // 文件重命名．源文件∶
    "\xce\xc4\xbc\xfe\xd6\xd8\xc3\xfc\xc3\xfb\xa3\xae\xd4\xb4\xce\xc4\xbc\xfe\xa1\xc3";
const std::string kTarget = "\xa3\xac \xc4\xbf\xb1\xea\xce\xc4\xbc\xfe\xa1\xc3";  // ， 目标文件∶
const std::string kEnd = "\xa3\xae";                                       // ．

class Captured {
 public:
  Captured() {
    previous_ = SetAuditReporter([this](std::string_view text, std::int32_t type) {
      std::lock_guard guard(lock_);
      texts_.emplace_back(text);
      types_.push_back(type);
      threads_.push_back(std::this_thread::get_id());
      cv_.notify_all();
    });
  }
  ~Captured() { SetAuditReporter(previous_); }

  bool WaitFor(const std::string& text) {
    std::unique_lock lock(lock_);
    return cv_.wait_for(lock, std::chrono::seconds(10), [&] {
      for (const auto& t : texts_) {
        if (t == text) return true;
      }
      return false;
    });
  }
  std::vector<std::int32_t> types() {
    std::lock_guard guard(lock_);
    return types_;
  }
  std::vector<std::thread::id> threads() {
    std::lock_guard guard(lock_);
    return threads_;
  }
  std::size_t count(const std::string& text) {
    std::lock_guard guard(lock_);
    return static_cast<std::size_t>(std::count(texts_.begin(), texts_.end(), text));
  }

 private:
  AuditReporter previous_;
  std::mutex lock_;
  std::condition_variable cv_;
  std::vector<std::string> texts_;
  std::vector<std::int32_t> types_;
  std::vector<std::thread::id> threads_;
};

class DriveAuditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!drive_.ok()) GTEST_SKIP() << "no drive letter for the test (Windows: run through wine_drives.sh)";
  }
  void TearDown() override { EXPECT_TRUE(StopAllAudits()); }

  // Starts the audit and makes sure it sees changes before the test makes its own.
  void Start(char letter, WatchedDrive& drive) {
    ASSERT_TRUE(StartDriveAudit(letter));
    const std::string probe = std::string("probe") + letter;
    drive.Write(probe, "");
    ASSERT_TRUE(captured_.WaitFor(kCreated + std::string(1, letter) + ":\\" + probe + kEnd));
  }

  Captured captured_;
  WatchedDrive drive_{'t'};
};

TEST_F(DriveAuditTest, EveryChangeBecomesItsTextWithTheFullPath) {
  Start('t', drive_);
  fs::create_directory(drive_.native("dir"));
  ASSERT_TRUE(captured_.WaitFor(kCreated + "t:\\dir" + kEnd));
  drive_.Write("dir/name.txt", "content");
  ASSERT_TRUE(captured_.WaitFor(kCreated + "t:\\dir\\name.txt" + kEnd));
  ASSERT_TRUE(captured_.WaitFor(kChanged + "t:\\dir\\name.txt" + kEnd));
  fs::rename(drive_.native("dir/name.txt"), drive_.native("dir/other.txt"));
  ASSERT_TRUE(captured_.WaitFor(kRenamed + "t:\\dir\\name.txt" + kTarget + "t:\\dir\\other.txt" + kEnd));
  fs::remove(drive_.native("dir/other.txt"));
  ASSERT_TRUE(captured_.WaitFor(kDeleted + "t:\\dir\\other.txt" + kEnd));
  fs::remove(drive_.native("dir"));
  ASSERT_TRUE(captured_.WaitFor(kDeleted + "t:\\dir" + kEnd));
  // A Chinese name arrives as GBK.
  std::ofstream(drive_.folder() / fs::path(u"\u6587\u4ef6.txt"));  // 文件.txt
  ASSERT_TRUE(captured_.WaitFor(kCreated + "t:\\\xce\xc4\xbc\xfe.txt" + kEnd));

  for (const auto type : captured_.types()) EXPECT_EQ(type, 2);
  const auto threads = captured_.threads();
  for (const auto& id : threads) {
    EXPECT_EQ(id, threads.front());
    EXPECT_NE(id, std::this_thread::get_id());
  }
}

TEST_F(DriveAuditTest, DrivesAreStartedReplacedAndStoppedOneByOne) {
  WatchedDrive second('u');
  ASSERT_TRUE(second.ok());
  Start('t', drive_);
  Start('u', second);
  EXPECT_EQ(FileMonitor().WatchCount(), 2u);
  Start('t', drive_);  // again: replaces the watch of t
  EXPECT_EQ(FileMonitor().WatchCount(), 2u);

  // Upper case stops the watch started with lower case; u goes on.
  EXPECT_TRUE(StopDriveAudit('T'));
  EXPECT_FALSE(StopDriveAudit('t'));
  EXPECT_EQ(FileMonitor().WatchCount(), 1u);
  second.Write("on-u.txt", "");
  ASSERT_TRUE(captured_.WaitFor(kCreated + "u:\\on-u.txt" + kEnd));
  drive_.Write("on-t.txt", "");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(captured_.count(kCreated + "t:\\on-t.txt" + kEnd), 0u);

  EXPECT_TRUE(StopAllAudits());
  EXPECT_EQ(FileMonitor().WatchCount(), 0u);
  EXPECT_FALSE(FileMonitor().WorkerRunning());
}

TEST_F(DriveAuditTest, AnUnwatchableDriveStartsNothing) {
  EXPECT_TRUE(StartDriveAudit('v'));  // not mapped to anything
  EXPECT_EQ(FileMonitor().WatchCount(), 0u);
}

}  // namespace
}  // namespace torvane::filewatch
