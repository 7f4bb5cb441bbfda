// Names another user or program can plant beside the files the library
// writes: a hard link to some other file under the store's, the journal's,
// the salvage's or the log's name, or any file put under the journal's or
// salvage's name between the library's removal of the old one and its
// creation of the new. Nothing is written through them, on either backend.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/file.h"
#include "report/operation_log.h"
#include "report/store_journal.h"
#include "report/warning_store.h"
#include "report_fixture.h"

namespace torvane::report {
namespace {

namespace fs = std::filesystem;

const std::string kVictim(66, 'v');

void Put(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class PlantedNamesTest : public test::ReportTest {
 protected:
  void TearDown() override {
    platform::SetFileOpObserver(nullptr);
    ReportTest::TearDown();
  }
  // A second name for a file that must stay as it is (same file system).
  void LinkVictim(const std::string& name) {
    std::error_code ec;
    fs::create_hard_link(victim_, host_.path() / name, ec);
    ASSERT_FALSE(ec) << ec.message();
  }
  test::TempDir elsewhere_;
  const fs::path victim_ = elsewhere_.Write("victim", kVictim);
};

// The reviewer's case: the store a hard link to another file, and a crafted
// journal (its checksum is public) that would put 16 chosen bytes back and
// cut the file to 16 bytes.
TEST_F(PlantedNamesTest, AHardLinkedStoreIsNeitherAppendedToNorRepaired) {
  LinkVictim("info2.sys");
  ASSERT_TRUE(WriteStoreJournal(Store(), 16, std::string(16, 'X')));
  EXPECT_EQ(AppendWarningRecord(Store(), "record"), -1);
  EXPECT_EQ(Slurp(victim_.string()), kVictim);
  EXPECT_NE(Log().find("Error:Store refused, more than one link: " + Store()), std::string::npos) << Log();
  EXPECT_FALSE(platform::File::Open(Store(), platform::File::Mode::kReadWriteAlways));
  EXPECT_TRUE(platform::File::Open(Store(), platform::File::Mode::kReadShared)) << "reading is harmless";
}

TEST_F(PlantedNamesTest, HardLinkedSalvageAndLogAreNotWrittenThrough) {
  // A salvaged store left by a crash is put in place only when it is a file
  // of its own; else the append makes a store of its own.
  LinkVictim("info2.sys.salvage");
  ASSERT_EQ(AppendWarningRecord(Store(), "record"), 0);
  EXPECT_EQ(ReadWarningStore(Store()), "record,");
  EXPECT_EQ(Slurp(victim_.string()), kVictim);
  EXPECT_NE(Log().find("Error:Store salvage refused, more than one link: "), std::string::npos) << Log();

  ASSERT_TRUE(fs::remove(host_.path() / kOperationLogName));
  LinkVictim(kOperationLogName);
  WriteOperationLog("a line");
  EXPECT_EQ(Slurp(victim_.string()), kVictim);
}

// Between the removal of the old journal or salvage and the creation of the
// new one another program puts a file of its own under the name: the append
// does not write into it.
struct PlantOnRemove {
  static inline std::string name;
  static inline std::string contents;
  static bool Observe(platform::FileOp op, const std::string& path) {
    if (op != platform::FileOp::kRemove || fs::path(path).filename().string() != name) return true;
    std::error_code ec;
    fs::remove(path, ec);
    Put(path, contents);
    return false;  // the name is already gone; the removal changes nothing more
  }
};

TEST_F(PlantedNamesTest, JournalAndSalvageAreCreatedExclusively) {
  ASSERT_EQ(AppendWarningRecord(Store(), "first"), 0);
  PlantOnRemove::name = "info2.sys.journal";
  PlantOnRemove::contents = "planted";
  platform::SetFileOpObserver(&PlantOnRemove::Observe);
  EXPECT_EQ(AppendWarningRecord(Store(), "second"), -1);
  platform::SetFileOpObserver(nullptr);
  EXPECT_EQ(Slurp(Path("info2.sys.journal")), "planted");
  EXPECT_NE(Log().find("Error:StoreJournal not written, record dropped"), std::string::npos) << Log();
  ASSERT_TRUE(fs::remove(Path("info2.sys.journal")));
  EXPECT_EQ(ReadWarningStore(Store()), "first,");

  // A damaged store is salvaged through a file made afresh beside it.
  const std::string damaged = Slurp(Store()) + "junk";
  Put(Store(), damaged);
  PlantOnRemove::name = "info2.sys.salvage";
  platform::SetFileOpObserver(&PlantOnRemove::Observe);
  EXPECT_EQ(AppendWarningRecord(Store(), "third"), -1);
  platform::SetFileOpObserver(nullptr);
  EXPECT_EQ(Slurp(Path("info2.sys.salvage")), "planted");
  EXPECT_EQ(Slurp(Store()), damaged) << "kept until its replacement is complete";
  // Exclusive creation itself: nothing under the name, or no file.
  EXPECT_FALSE(platform::File::Open(Path("info2.sys.salvage"), platform::File::Mode::kCreateNew));
  EXPECT_TRUE(platform::File::Open(Path("fresh"), platform::File::Mode::kCreateNew));
}

}  // namespace
}  // namespace torvane::report
