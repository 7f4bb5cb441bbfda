#include "report/warning_store.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <regex>
#include <string>
#include <thread>

#include "platform/named_flag.h"
#include "report/store_cipher.h"
#include "report/store_format.h"
#include "report/store_journal.h"
#include "report_fixture.h"

namespace torvane::report {
namespace {

namespace fs = std::filesystem;
using WarningStoreTest = test::ReportTest;

std::string Encrypt(const std::string& plain) {
  std::string out;
  EXPECT_EQ(StoreCipher().Encrypt(plain, out), 0);
  return out;
}

TEST_F(WarningStoreTest, FirstRecordCreatesTheStoreAndSetsCheck) {
  const std::string record(19, 'r');  // with its comma, 20 bytes of plaintext
  ASSERT_EQ(AppendWarningRecord(Store(), record), 0);
  EXPECT_EQ(fs::file_size(Store()), 32u);
  EXPECT_EQ(Slurp(Store()), Encrypt(record + ","));
  EXPECT_EQ(Check(), 32u);
  EXPECT_FALSE(fs::exists(StoreJournalPath(Store())));
}

TEST_F(WarningStoreTest, RecordsFollowEachOtherOldestFirst) {
  ASSERT_EQ(AppendWarningRecord(Store(), "WS-7|2026-01-02 03:04:05|one, with comma|2|"), 0);
  ASSERT_EQ(AppendWarningRecord(Store(), "WS-7|2026-01-02 03:04:06|two|2|"), 0);
  const std::string plain = ReadWarningStore(Store());
  EXPECT_EQ(plain,
            "WS-7|2026-01-02 03:04:05|one, with comma|2|,WS-7|2026-01-02 03:04:06|two|2|,");
  const auto records = SplitWarningRecords(plain);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0], "WS-7|2026-01-02 03:04:05|one, with comma|2|");
  EXPECT_EQ(records[1], "WS-7|2026-01-02 03:04:06|two|2|");
  EXPECT_EQ(SplitWarningRecords("a,b,c"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(SplitWarningRecords("").empty());
  EXPECT_EQ(Log(), "");  // nothing went wrong, nothing logged
}

// Tail-only appends must leave exactly the bytes that encrypting the whole
// plaintext again would, whatever the record lengths (empty ones included).
TEST_F(WarningStoreTest, AppendsEqualWholeReencryptionByteForByte) {
  std::mt19937 random(7);
  std::string plain;
  for (int i = 0; i < 300; ++i) {
    const std::size_t length = random() % 5 == 0 ? 0 : random() % 70;
    std::string record(length, '\0');
    for (auto& c : record) c = static_cast<char>(random());
    ASSERT_EQ(AppendWarningRecord(Store(), record), 0);
    if (!record.empty()) plain += record + ",";
    ASSERT_EQ(Slurp(Store()), Encrypt(plain)) << "after append " << i;
  }
  EXPECT_EQ(Check(), Encrypt(plain).size());
  EXPECT_EQ(ReadWarningStore(Store()), plain);
}

TEST_F(WarningStoreTest, EmptyRecordRewritesUnchangedAndRefreshesCheck) {
  ASSERT_EQ(AppendWarningRecord(Store(), std::string(15, 'x')), 0);  // plaintext of 16
  const std::string before = Slurp(Store());
  ASSERT_EQ(config::SetCheckValue(1), 0);
  ASSERT_EQ(AppendWarningRecord(Store(), ""), 0);
  EXPECT_EQ(Slurp(Store()), before);
  EXPECT_EQ(Check(), before.size());
  // An empty record into an absent store leaves an empty store, no "check".
  fs::remove(Store());
  ASSERT_EQ(AppendWarningRecord(Store(), ""), 0);
  EXPECT_EQ(fs::file_size(Store()), 0u);
  EXPECT_EQ(Check(), std::nullopt);
}

TEST_F(WarningStoreTest, EmptyStoreDecryptsToNothingWithoutAnError) {
  host_.Write("info2.sys", "");
  EXPECT_EQ(ReadWarningStore(Store()), "");
  ASSERT_EQ(AppendWarningRecord(Store(), "r"), 0);
  EXPECT_EQ(ReadWarningStore(Store()), "r,");
  EXPECT_EQ(ReadWarningStore(Path("absent.sys")), "");
  EXPECT_EQ(ReadWarningStore(""), "");
  EXPECT_EQ(Log(), "");
}

TEST_F(WarningStoreTest, StoreAtTheLimitTakesNoRecord) {
  host_.Write("info2.sys", "");
  fs::resize_file(Store(), kStoreLimit);
  ASSERT_EQ(config::SetCheckValue(1234), 0);
  EXPECT_EQ(AppendWarningRecord(Store(), "dropped"), -1);
  EXPECT_EQ(fs::file_size(Store()), kStoreLimit);
  EXPECT_EQ(Check(), 1234u);
  EXPECT_EQ(Log(), "");
}

TEST_F(WarningStoreTest, StoreJustBelowTheLimitTakesTheRecord) {
  // A valid store of 64 MiB - 16 bytes.
  const std::string plain(kStoreLimit - kStoreBlock - 1, 'p');
  host_.Write("info2.sys", Encrypt(plain));
  ASSERT_EQ(fs::file_size(Store()), kStoreLimit - kStoreBlock);
  ASSERT_EQ(AppendWarningRecord(Store(), "last"), 0);
  EXPECT_EQ(fs::file_size(Store()), kStoreLimit);
  EXPECT_EQ(Check(), kStoreLimit);
  const std::string back = ReadWarningStore(Store());
  EXPECT_EQ(back.size(), plain.size() + 5);
  EXPECT_EQ(back.substr(back.size() - 6), "plast,");
  // Now over the limit: the next record is dropped.
  EXPECT_EQ(AppendWarningRecord(Store(), "more"), -1);
}

// One byte below the limit is not a whole number of blocks: the store cannot
// be decrypted, so it is set aside intact and a new store takes the record.
TEST_F(WarningStoreTest, UndecryptableStoreIsSetAsideNotOverwritten) {
  host_.Write("info2.sys", "");
  fs::resize_file(Store(), kStoreLimit - 1);
  ASSERT_EQ(AppendWarningRecord(Store(), "new"), 0);
  EXPECT_EQ(ReadWarningStore(Store()), "new,");
  EXPECT_EQ(Check(), 16u);
  int setAside = 0;
  for (const auto& entry : fs::directory_iterator(host_.path())) {
    if (entry.path().filename().string().rfind("info2.sys.damaged-", 0) == 0) {
      ++setAside;
      EXPECT_EQ(entry.file_size(), kStoreLimit - 1);
    }
  }
  EXPECT_EQ(setAside, 1);
  const std::string log = Log();
  EXPECT_NE(log.find(" Error:Decrypt 3\r\n\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" Error:Store set aside as "), std::string::npos) << log;
}

TEST_F(WarningStoreTest, ReadingAPartialBlockLogsDecryptThree) {
  host_.Write("info2.sys", Encrypt("abc,").substr(0, 15));
  EXPECT_EQ(ReadWarningStore(Store()), "");
  EXPECT_TRUE(std::regex_match(Log(), std::regex(R"(\S+ \S+ Error:Decrypt 3\r\n\r\n)")));
  // A foreign file of whole blocks fails on its padding.
  host_.Write("info2.sys", std::string(32, 'z'));
  EXPECT_EQ(ReadWarningStore(Store()), "");
  EXPECT_EQ(DecodeWarningStore(std::string(32, 'z')).code, 3);
}

TEST_F(WarningStoreTest, SecondDamagedStoreGetsItsOwnName) {
  for (int i = 0; i < 2; ++i) {
    host_.Write("info2.sys", "not a store");
    ASSERT_EQ(AppendWarningRecord(Store(), "r" + std::to_string(i)), 0);
  }
  int setAside = 0;
  for (const auto& entry : fs::directory_iterator(host_.path()))
    if (entry.path().filename().string().rfind("info2.sys.damaged-", 0) == 0) ++setAside;
  EXPECT_EQ(setAside, 2);
  EXPECT_EQ(ReadWarningStore(Store()), "r1,");
}

// A crash part way through writing the new tail leaves the last block and
// the store's length torn; the journal puts the old tail back, so only the
// interrupted record is lost.
TEST_F(WarningStoreTest, TornTailLosesOnlyTheInterruptedRecord) {
  for (const std::string kept : {"a,", "first,second,third,"}) {
    fs::remove(Store());
    std::string plain;
    for (std::size_t at = 0; at < kept.size();) {
      const std::size_t comma = kept.find(',', at);
      ASSERT_EQ(AppendWarningRecord(Store(), kept.substr(at, comma - at)), 0);
      at = comma + 1;
    }
    const std::string good = Slurp(Store());
    const std::size_t tail = good.size() >= 32 ? 32 : 16;
    ASSERT_TRUE(WriteStoreJournal(Store(), good.size(), good.substr(good.size() - tail)));
    // The interrupted append overwrote the last block and part of the next.
    host_.Write("info2.sys", good.substr(0, good.size() - 16) + std::string(21, '\x5a'));
    ASSERT_EQ(AppendWarningRecord(Store(), "after"), 0);
    EXPECT_EQ(ReadWarningStore(Store()), kept + "after,");
    EXPECT_FALSE(fs::exists(StoreJournalPath(Store())));
  }
  EXPECT_EQ(Log(), "");
}

// A note left by an append that completed (its removal failed) must not
// undo that append.
TEST_F(WarningStoreTest, NoteOfACompletedAppendIsNotApplied) {
  for (const std::size_t length : {5u, 40u}) {
    const std::string first(length, 'a');
    fs::remove(Store());
    ASSERT_EQ(AppendWarningRecord(Store(), first), 0);
    const std::string before = Slurp(Store());
    ASSERT_EQ(AppendWarningRecord(Store(), "b"), 0);
    const std::string after = Slurp(Store());
    const std::size_t tail = before.size() >= 32 ? 32 : 16;
    ASSERT_TRUE(WriteStoreJournal(Store(), before.size(), before.substr(before.size() - tail),
                                  after.size(), after.substr(after.size() - 16)));
    ASSERT_EQ(AppendWarningRecord(Store(), "c"), 0);
    EXPECT_EQ(ReadWarningStore(Store()), first + ",b,c,");
    EXPECT_FALSE(fs::exists(StoreJournalPath(Store())));
  }
}

TEST_F(WarningStoreTest, TornOrStaleJournalIsIgnored) {
  ASSERT_EQ(AppendWarningRecord(Store(), std::string(40, 'x')), 0);
  const std::string good = Slurp(Store());
  // Torn note: the crash came before the store was touched.
  host_.Write("info2.sys.journal", "TVSJ\x30\0\0");
  ASSERT_EQ(AppendWarningRecord(Store(), "y"), 0);
  EXPECT_EQ(ReadWarningStore(Store()), std::string(40, 'x') + ",y,");
  EXPECT_FALSE(fs::exists(StoreJournalPath(Store())));
  // A note about another store (the consumer replaced it since): not applied.
  ASSERT_TRUE(WriteStoreJournal(Store(), 48, std::string(32, 'q')));
  ASSERT_EQ(AppendWarningRecord(Store(), "z"), 0);
  EXPECT_EQ(ReadWarningStore(Store()), std::string(40, 'x') + ",y,z,");
  EXPECT_FALSE(fs::exists(StoreJournalPath(Store())));
}

TEST_F(WarningStoreTest, EmptyPathDoesNothing) {
  ASSERT_EQ(config::SetCheckValue(77), 0);
  EXPECT_EQ(AppendWarningRecord("", "r"), -1);
  EXPECT_EQ(Check(), 77u);
}

// While another holder has the lock the append waits; it proceeds within
// about one poll interval of the release.
TEST_F(WarningStoreTest, AppendWaitsForTheLockHolder) {
  auto holder = platform::NamedFlag::Create(kStoreLockName);
  ASSERT_EQ(holder.status(), platform::NamedFlag::Status::kCreated);
  std::atomic<bool> done{false};
  std::thread appender([&] {
    EXPECT_EQ(AppendWarningRecord(Store(), "waited"), 0);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_FALSE(done);
  EXPECT_FALSE(fs::exists(Store()));
  const auto released = std::chrono::steady_clock::now();
  holder.Release();
  appender.join();
  const auto waited = std::chrono::steady_clock::now() - released;
  EXPECT_LT(waited, std::chrono::milliseconds(kStoreLockPollMs + 1000));
  EXPECT_EQ(ReadWarningStore(Store()), "waited,");
}

#ifndef _WIN32
// A lock that cannot be created at all (here: the flag folder's parent is a
// file) is retried, not taken as held; the append goes on once it works.
TEST_F(WarningStoreTest, FailingLockCreationIsRetriedNotIgnored) {
  const fs::path state = host_.path() / "state";
  host_.Write("state", "a file where the state folder should be");
  ::setenv("TORVANE_STATE_DIR", state.string().c_str(), 1);
  ASSERT_EQ(platform::NamedFlag::Create(kStoreLockName).status(),
            platform::NamedFlag::Status::kFailed);
  std::atomic<bool> done{false};
  std::thread appender([&] {
    EXPECT_EQ(AppendWarningRecord(Store(), "retried"), 0);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_FALSE(done);
  EXPECT_FALSE(fs::exists(Store()));
  fs::remove(state);
  fs::create_directory(state);
  appender.join();
  EXPECT_EQ(ReadWarningStore(Store()), "retried,");
}
#endif

}  // namespace
}  // namespace torvane::report
