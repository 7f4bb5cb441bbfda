// A damaged store keeps every record its whole blocks hold; a failing disk
// never damages the store; the journal note is on disk before the tail is
// overwritten.
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/file.h"
#include "report/store_cipher.h"
#include "report/store_format.h"
#include "report/store_journal.h"
#include "report/store_salvage.h"
#include "report/warning_store.h"
#include "report_fixture.h"

namespace torvane::report {
namespace {

namespace fs = std::filesystem;

std::string RecordNo(int i) {
  return "WS-" + std::to_string(i % 7) + "|2026-01-02 03:04:05|event " + std::to_string(i) +
         std::string(static_cast<std::size_t>(i % 23), 'x') + ", with comma|2|";
}

class StoreDamageTest : public test::ReportTest {
 protected:
  // A store of n records; returns its plaintext.
  std::string Fill(int n) {
    std::string plain;
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(AppendWarningRecord(Store(), RecordNo(i)), 0);
      plain += RecordNo(i) + ",";
    }
    return plain;
  }
  std::vector<fs::path> SetAside() const {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(host_.path()))
      if (entry.path().filename().string().rfind("info2.sys.damaged-", 0) == 0)
        found.push_back(entry.path());
    return found;
  }
};

// The longest run of whole records at the start of plain that ends by `end`.
std::string RecordsWithin(const std::string& plain, std::size_t end) {
  std::size_t keep = 0;
  for (std::size_t at = plain.find("|,"); at != std::string::npos && at + 2 <= end;
       at = plain.find("|,", at + 2))
    keep = at + 2;
  return plain.substr(0, keep);
}

TEST_F(StoreDamageTest, CutStoreKeepsItsWholeRecordsAndIsSetAsideIntact) {
  const std::string plain = Fill(103);
  const std::string good = Slurp(Store());
  for (std::size_t cut = 1; cut <= 15; ++cut) {
    fs::remove_all(host_.path());
    fs::create_directories(host_.path());
    const std::string damaged = good.substr(0, good.size() - cut);
    host_.Write("info2.sys", damaged);
    ASSERT_EQ(AppendWarningRecord(Store(), "after|"), 0) << cut;
    // Only the partial last block is gone: every record before it stays.
    const std::string kept = RecordsWithin(plain, good.size() - kStoreBlock);
    EXPECT_GE(SplitWarningRecords(kept).size(), 102u);
    EXPECT_EQ(ReadWarningStore(Store()), kept + "after|,") << cut;
    const auto aside = SetAside();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(Slurp(aside[0].string()), damaged);
    EXPECT_NE(Log().find("Error:Store damaged, "), std::string::npos) << Log();
    EXPECT_FALSE(fs::exists(Path("info2.sys.salvage")));
  }
}

TEST_F(StoreDamageTest, BytesAddedAfterTheEndLoseNothing) {
  const std::string plain = Fill(40);
  const std::string good = Slurp(Store());
  std::mt19937 random(11);
  for (const std::size_t extra : {1u, 5u, 16u, 17u, 32u, 100u}) {
    std::string bytes = good;
    for (std::size_t i = 0; i < extra; ++i) bytes += static_cast<char>(random());
    host_.Write("info2.sys", bytes);
    ASSERT_EQ(AppendWarningRecord(Store(), ""), 0) << extra;
    EXPECT_EQ(ReadWarningStore(Store()), plain) << extra;
    const auto salvaged = SalvageWarningStore(bytes);
    EXPECT_EQ(salvaged.records, 40u);
    EXPECT_EQ(salvaged.unreadable, extra);
  }
}

// A flipped bit garbles its own block and one bit of the next; every record
// outside those two blocks is kept, whether the damage is in the middle (the
// store still decrypts) or in the last block (it no longer does).
TEST_F(StoreDamageTest, FlippedBitLosesOnlyTheRecordsItReaches) {
  const std::string plain = Fill(60);
  const std::string good = Slurp(Store());
  for (const std::size_t at : {good.size() / 2, good.size() - 3}) {
    std::string bytes = good;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x10);
    host_.Write("info2.sys", bytes);
    ASSERT_EQ(AppendWarningRecord(Store(), "after|"), 0);
    const std::string back = ReadWarningStore(Store());
    const std::size_t damagedFrom = at / kStoreBlock * kStoreBlock;
    const std::string before = RecordsWithin(plain, damagedFrom);
    EXPECT_EQ(back.substr(0, before.size()), before) << at;
    EXPECT_EQ(back.substr(back.size() - 7), "after|,");
    if (damagedFrom + 2 * kStoreBlock < plain.size()) {
      // Records wholly after the damage come back unchanged too.
      const std::size_t from = plain.find("|,", damagedFrom + 2 * kStoreBlock) + 2;
      const std::string after = plain.substr(from);
      EXPECT_NE(back.find(after), std::string::npos) << at;
    }
  }
}

TEST_F(StoreDamageTest, ForeignFileYieldsNoRecords) {
  std::mt19937 random(5);
  std::string bytes(4096 + 7, '\0');
  for (auto& c : bytes) c = static_cast<char>(random());
  EXPECT_EQ(SalvageWarningStore(bytes).records, 0u);
  EXPECT_EQ(SalvageWarningStore(bytes).unreadable, bytes.size());
  EXPECT_EQ(SalvageWarningStore("").records, 0u);
  host_.Write("info2.sys", bytes);
  ASSERT_EQ(AppendWarningRecord(Store(), "new"), 0);
  EXPECT_EQ(ReadWarningStore(Store()), "new,");
}

// The test observer of the file layer: records every write, truncation and
// sync of the store's files, and fails the one numbered `fail` (counting
// from 0), or all of them for -2. The operation log and removals are left
// alone so that the test can read what was logged.
struct Recorder {
  static inline std::vector<std::pair<platform::FileOp, std::string>> ops;
  static inline int fail = -1;
  static bool Observe(platform::FileOp op, const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    if (name == "usboperror.log" || op == platform::FileOp::kRemove) return true;
    const int index = static_cast<int>(ops.size());
    ops.emplace_back(op, name);
    return index != fail && fail != -2;
  }
};

class StoreFaultTest : public StoreDamageTest {
 protected:
  void SetUp() override {
    StoreDamageTest::SetUp();
    Recorder::ops.clear();
    Recorder::fail = -1;
  }
  void TearDown() override {
    platform::SetFileOpObserver(nullptr);
    StoreDamageTest::TearDown();
  }
  void Watch(int fail) {
    Recorder::ops.clear();
    Recorder::fail = fail;
    platform::SetFileOpObserver(&Recorder::Observe);
  }
};

TEST_F(StoreFaultTest, JournalNoteIsOnDiskBeforeTheTailIsOverwritten) {
  Fill(3);
  Watch(-1);
  ASSERT_EQ(AppendWarningRecord(Store(), "next"), 0);
  platform::SetFileOpObserver(nullptr);
  using platform::FileOp;
  int noteSynced = -1, firstStoreWrite = -1, storeSynced = -1;
  for (int i = 0; i < static_cast<int>(Recorder::ops.size()); ++i) {
    const auto& [op, name] = Recorder::ops[static_cast<std::size_t>(i)];
    if (name == "info2.sys.journal" && op == FileOp::kSync && noteSynced < 0) noteSynced = i;
    if (name == "info2.sys" && op == FileOp::kWrite && firstStoreWrite < 0) firstStoreWrite = i;
    if (name == "info2.sys" && op == FileOp::kSync) storeSynced = i;
  }
  ASSERT_GE(noteSynced, 0);
  ASSERT_GE(firstStoreWrite, 0);
  EXPECT_LT(noteSynced, firstStoreWrite);
  EXPECT_GT(storeSynced, firstStoreWrite);
  EXPECT_FALSE(fs::exists(StoreJournalPath(Store())));
}

// Each write, truncation and sync of an append fails in turn, as on a full
// or failing disk: the store keeps its records, the record is either in it
// or logged as lost, and the next append works.
TEST_F(StoreFaultTest, FailingDiskNeverDamagesTheStore) {
  const std::string plain = Fill(5);
  Watch(-1);
  ASSERT_EQ(AppendWarningRecord(Store(), "probe"), 0);
  const int steps = static_cast<int>(Recorder::ops.size());
  platform::SetFileOpObserver(nullptr);
  ASSERT_GE(steps, 5);
  std::string expected = plain + "probe,";
  for (int fail = -2; fail < steps; ++fail) {
    const std::string logBefore = Log();
    Watch(fail);
    const int result = AppendWarningRecord(Store(), "r" + std::to_string(fail + 2));
    platform::SetFileOpObserver(nullptr);
    // The store is not touched before its note has been synced.
    bool noted = false;
    for (int i = 0; i < static_cast<int>(Recorder::ops.size()); ++i) {
      const auto& [op, name] = Recorder::ops[static_cast<std::size_t>(i)];
      if (name == "info2.sys.journal" && op == platform::FileOp::kSync && i != fail && fail != -2)
        noted = true;
      if (name == "info2.sys") {
        EXPECT_TRUE(noted) << "store written before its note, step " << fail;
      }
    }
    if (result == 0) {
      expected += "r" + std::to_string(fail + 2) + ",";
    } else {
      EXPECT_GT(Log().size(), logBefore.size()) << "a lost record is logged, step " << fail;
    }
    // Reading and one more append (which repairs anything left) agree.
    EXPECT_EQ(ReadWarningStore(Store()), expected) << "step " << fail;
    ASSERT_EQ(AppendWarningRecord(Store(), ""), 0);
    EXPECT_EQ(ReadWarningStore(Store()), expected) << "step " << fail;
    EXPECT_TRUE(SetAside().empty()) << "step " << fail;
  }
  EXPECT_EQ(Check(), Slurp(Store()).size());
}

// The same for the salvage of a damaged store: until the salvaged store is
// in place the damaged one stays, and a later append finishes the job.
TEST_F(StoreFaultTest, FailingDiskDuringSalvageKeepsTheDamagedStore) {
  const std::string plain = Fill(8);
  const std::string damaged = Slurp(Store()) + "junk";
  for (int fail = 0; fail < 4; ++fail) {
    fs::remove_all(host_.path());
    fs::create_directories(host_.path());
    host_.Write("info2.sys", damaged);
    Watch(fail);
    const int result = AppendWarningRecord(Store(), "r");
    platform::SetFileOpObserver(nullptr);
    if (result != 0) {
      EXPECT_EQ(Slurp(Store()), damaged) << fail;
      EXPECT_TRUE(SetAside().empty()) << fail;
      ASSERT_EQ(AppendWarningRecord(Store(), "r"), 0);
    }
    EXPECT_EQ(ReadWarningStore(Store()), plain + "r,") << fail;
  }
}

}  // namespace
}  // namespace torvane::report
