// Salvage of a damaged store: every record whose bytes all decrypted is
// kept, before and after the damage, whatever bytes its text holds.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "report/store_cipher.h"
#include "report/store_format.h"
#include "report/store_salvage.h"
#include "report/undelivered_record.h"
#include "report/warning_store.h"
#include "report_fixture.h"

namespace torvane::report {
namespace {

// A disk serial as a disk may hand it out: control bytes, "|", "," and a
// piece that looks like a record's end.
const std::string kOddSerial = std::string("\x01S\x1f|,N|2|,\x7f") + "\xb4\xc5";

struct Sample {
  std::vector<std::string> records;  // each with its ","
  std::string plain;
  std::string bytes;
};

// Every caller passes type 2, but the store takes any 32-bit type.
constexpr std::int32_t kTypes[] = {2, -1, 0, 2147483647, 2, -2147483647 - 1, 17};

// n records, the one at oddAt with kOddSerial in its text; the one at
// crafted, if any, with `craftedText`.
Sample MakeStore(int n, int oddAt = -1, int crafted = -1, const std::string& craftedText = "") {
  Sample store;
  for (int i = 0; i < n; ++i) {
    const std::string text =
        i == crafted ? craftedText
        : i == oddAt ? "serial " + kOddSerial
                     : "event " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 5), 'x');
    store.records.push_back(UndeliveredRecord("WS-" + std::to_string(i % 3), "2026-01-02 03:04:05", text,
                                              kTypes[static_cast<std::size_t>(i) % std::size(kTypes)]) +
                            ",");
    store.plain += store.records.back();
  }
  EXPECT_EQ(StoreCipher().Encrypt(store.plain, store.bytes), 0);
  return store;
}

using Range = std::pair<std::size_t, std::size_t>;

// The records that lie wholly outside the damaged byte ranges, in order, and
// how many do not.
std::pair<std::string, std::size_t> Untouched(const Sample& store, const std::vector<Range>& damage) {
  std::string kept;
  std::size_t lost = 0;
  std::size_t at = 0;
  for (const auto& record : store.records) {
    bool whole = true;
    for (const auto& [from, to] : damage) whole = whole && (at + record.size() <= from || at >= to);
    if (whole) {
      kept += record;
    } else {
      ++lost;
    }
    at += record.size();
  }
  return {kept, lost};
}

// A flipped byte garbles its own block and the same byte of the next one.
std::vector<Range> Flip(std::string& bytes, std::size_t at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 0x80);
  const std::size_t block = at / kStoreBlock * kStoreBlock;
  return {{block, block + kStoreBlock}, {at + kStoreBlock, at + kStoreBlock + 1}};
}

// Where the time stamp of record i starts: a byte the next block's flip
// always shows up in.
std::size_t TimeStampOf(const Sample& store, std::size_t i) {
  std::size_t at = 0;
  for (std::size_t r = 0; r < i; ++r) at += store.records[r].size();
  return store.plain.find('|', at) + 1;
}

TEST(StoreSalvageTest, ControlByteRecordThenTailDamageKeepsEveryWholeRecord) {
  Sample store = MakeStore(11, 1);
  const std::size_t cut = store.bytes.size() - 5;
  const std::string damaged = store.bytes.substr(0, cut);
  const auto [kept, lost] = Untouched(store, {{cut / kStoreBlock * kStoreBlock, cut}});
  const SalvagedStore salvaged = SalvageWarningStore(damaged);
  EXPECT_EQ(salvaged.plaintext, kept);
  EXPECT_EQ(salvaged.records, 10u);
  EXPECT_EQ(salvaged.lost, lost);
  EXPECT_EQ(salvaged.unreadable, damaged.size() - kept.size());
  EXPECT_EQ(SplitWarningRecords(salvaged.plaintext).size(), SplitWarningRecords(kept).size());
}

TEST(StoreSalvageTest, FlippedByteMidStoreLosesOnlyTheRecordsItReaches) {
  const Sample store = MakeStore(40, 20);
  // Flips whose garbled block covers a record boundary, a header and a text.
  for (std::size_t i : {10u, 20u, 27u}) {
    std::string bytes = store.bytes;
    const auto damage = Flip(bytes, TimeStampOf(store, i) - kStoreBlock + 3 * (i % 4));
    const auto [kept, lost] = Untouched(store, damage);
    const SalvagedStore salvaged = SalvageWarningStore(bytes);
    EXPECT_EQ(salvaged.plaintext, kept) << i;
    EXPECT_EQ(salvaged.records, store.records.size() - lost) << i;
    EXPECT_GE(salvaged.records, 37u) << i;
  }
}

TEST(StoreSalvageTest, DamageInTheFirstBlockKeepsTheRecordsAfterIt) {
  const Sample store = MakeStore(12);
  std::string bytes = store.bytes.substr(0, store.bytes.size() - 1);
  auto damage = Flip(bytes, 4);
  damage.emplace_back(bytes.size() / kStoreBlock * kStoreBlock, store.bytes.size());
  const auto [kept, lost] = Untouched(store, damage);
  const SalvagedStore salvaged = SalvageWarningStore(bytes);
  EXPECT_EQ(salvaged.plaintext, kept);
  EXPECT_EQ(salvaged.records, 10u);
  EXPECT_EQ(salvaged.lost, lost);
}

TEST(StoreSalvageTest, DamageInTwoPlacesKeepsWhatLiesBetweenAndAfter) {
  const Sample store = MakeStore(30, 15);
  std::string bytes = store.bytes;
  auto damage = Flip(bytes, TimeStampOf(store, 6) - kStoreBlock);
  for (const auto& range : Flip(bytes, TimeStampOf(store, 22) - kStoreBlock + 1)) damage.push_back(range);
  // A sector's worth of zeros over the end as well.
  const std::size_t zeroed = bytes.size() - 40;
  bytes.replace(zeroed, 40, 40, '\0');
  damage.emplace_back(zeroed / kStoreBlock * kStoreBlock, bytes.size());
  const auto [kept, lost] = Untouched(store, damage);
  const SalvagedStore salvaged = SalvageWarningStore(bytes);
  EXPECT_EQ(salvaged.plaintext, kept);
  EXPECT_EQ(salvaged.records, store.records.size() - lost);
  EXPECT_NE(salvaged.plaintext.find(kOddSerial), std::string::npos);
}

// Raw disk bytes reach a record's text: there a "|2|," and padding-like
// bytes at a block boundary look like the store's end. With the real end
// damaged, the records after that text are still kept, and the one the
// damage reached is counted lost.
TEST(StoreSalvageTest, TextThatLooksLikeTheEndHidesNoLaterRecord) {
  const std::size_t before = MakeStore(3).plain.size();
  const std::size_t textAt = before + std::string("WS-0|2026-01-02 03:04:05|").size();
  std::string text = "serial ";
  while ((textAt + text.size() + 4 + 12) % kStoreBlock != 0) text += 'A';
  text += "|2|," + std::string(12, '\x0c');
  const Sample store = MakeStore(12, -1, 3, text + "tail");
  ASSERT_EQ(store.plain.substr(textAt, text.size()), text);
  std::string bytes = store.bytes;
  const auto damage = Flip(bytes, bytes.size() - 6);
  const auto [kept, lost] = Untouched(store, damage);
  ASSERT_EQ(lost, 1u);
  const SalvagedStore salvaged = SalvageWarningStore(bytes);
  EXPECT_EQ(salvaged.plaintext, kept);
  EXPECT_EQ(salvaged.records, 11u);
  EXPECT_EQ(salvaged.lost, 1u);
  EXPECT_EQ(salvaged.unreadable, bytes.size() - kept.size());
}

// A plaintext of whole blocks ends in a whole block of padding, which
// counts as read: only the stray bytes are unreadable.
TEST(StoreSalvageTest, FullPaddingBlockThenStrayBytes) {
  std::string plain;
  while (plain.empty() || plain.size() % kStoreBlock != 0) {
    plain += UndeliveredRecord("WS", "2026-01-02 03:04:05", "e" + std::string(plain.size() % 7, 'y'), 2) + ",";
  }
  std::string bytes;
  ASSERT_EQ(StoreCipher().Encrypt(plain, bytes), 0);
  ASSERT_EQ(bytes.size(), plain.size() + kStoreBlock);
  for (const std::size_t stray : {1u, 5u, 15u}) {
    const SalvagedStore salvaged = SalvageWarningStore(bytes + std::string(stray, '\x5a'));
    EXPECT_EQ(salvaged.plaintext, plain) << stray;
    EXPECT_EQ(salvaged.unreadable, stray);
    EXPECT_EQ(salvaged.lost, 0u);
  }
}

class StoreSalvageAppendTest : public test::ReportTest {};

// The live store gets the same records the reader prints, and the log says
// what was lost.
TEST_F(StoreSalvageAppendTest, AppendCarriesTheSalvagedRecordsAndLogsTheLoss) {
  const Sample store = MakeStore(11, 1);
  const std::string damaged = store.bytes.substr(0, store.bytes.size() - 5);
  host_.Write("info2.sys", damaged);
  ASSERT_EQ(AppendWarningRecord(Store(), "new|"), 0);
  const SalvagedStore salvaged = SalvageWarningStore(damaged);
  EXPECT_EQ(ReadWarningStore(Store()), salvaged.plaintext + "new|,");
  EXPECT_NE(Log().find("Error:Store damaged, " + std::to_string(salvaged.unreadable) +
                       " bytes unreadable, 10 records salvaged, 1 records lost"),
            std::string::npos)
      << Log();
}

}  // namespace
}  // namespace torvane::report
