#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "filewatch/change_buffer.h"

namespace torvane::filewatch {
namespace {

struct Seen {
  ChangeAction action;
  std::u16string name;
  std::u16string new_name;
  bool operator==(const Seen&) const = default;
};

class Collect final : public ChangeVisitor {
 public:
  void OnChange(ChangeAction action, const std::u16string& name,
                const std::u16string* new_name) override {
    seen.push_back({action, name, new_name ? *new_name : std::u16string()});
  }
  std::vector<Seen> seen;
};

// Lays entries out as the platform does, from a given offset.
class Buffer {
 public:
  Buffer() { bytes.fill(std::byte{0xCD}); }

  // Appends an entry and returns its offset; `name_len` overrides the length field.
  std::size_t Add(std::uint32_t action, const std::u16string& name, long name_len = -1) {
    const std::size_t at = end;
    const std::size_t len = name.size() * 2;
    const std::size_t size = (12 + len + 3) & ~std::size_t{3};
    if (last != npos) Put(last, static_cast<std::uint32_t>(at - last));
    Put(at, 0);
    Put(at + 4, action);
    Put(at + 8, name_len < 0 ? static_cast<std::uint32_t>(len) : static_cast<std::uint32_t>(name_len));
    std::memcpy(bytes.data() + at + 12, name.data(), len);
    last = at;
    end = at + size;
    return at;
  }
  void Put(std::size_t at, std::uint32_t v) { std::memcpy(bytes.data() + at, &v, 4); }
  // Starts a new read at `offset` (after a kept entry).
  void StartAt(std::size_t offset) {
    end = offset;
    last = npos;
  }

  static constexpr std::size_t npos = static_cast<std::size_t>(-1);
  alignas(4) std::array<std::byte, 4096> bytes{};
  std::size_t end = 0;
  std::size_t last = npos;
};

TEST(ChangeBuffer, ReportsEachActionWithItsName) {
  Buffer b;
  b.Add(1, u"new.txt");
  b.Add(2, u"gone.txt");
  b.Add(3, u"dir\\changed.txt");
  Collect c;
  EXPECT_EQ(ParseChangeBuffer(b.bytes.data(), b.end, c), 0u);
  const std::vector<Seen> want{{ChangeAction::kAdded, u"new.txt", u""},
                               {ChangeAction::kRemoved, u"gone.txt", u""},
                               {ChangeAction::kModified, u"dir\\changed.txt", u""}};
  EXPECT_EQ(c.seen, want);
}

TEST(ChangeBuffer, PairsRenamesAndIgnoresLoneNewNames) {
  Buffer b;
  b.Add(5, u"orphan-new");  // a new name on its own
  b.Add(4, u"a.txt");
  b.Add(5, u"b.txt");
  b.Add(4, u"c.txt");
  b.Add(3, u"d.txt");  // whatever follows an old name is its new name
  b.Add(9, u"unknown");
  b.Add(1, u"e.txt");
  Collect c;
  EXPECT_EQ(ParseChangeBuffer(b.bytes.data(), b.end, c), 0u);
  const std::vector<Seen> want{{ChangeAction::kRenamed, u"a.txt", u"b.txt"},
                               {ChangeAction::kRenamed, u"c.txt", u"d.txt"},
                               {ChangeAction::kAdded, u"e.txt", u""}};
  EXPECT_EQ(c.seen, want);
}

TEST(ChangeBuffer, OldNameAtTheEndIsPairedWithTheNextRead) {
  Buffer b;
  b.Add(1, u"first.txt");
  b.Add(4, u"\u6587\u4ef6-old.txt");  // 10 units
  Collect c;
  const std::size_t kept = ParseChangeBuffer(b.bytes.data(), b.end, c);
  ASSERT_EQ(c.seen.size(), 1u);
  // Header plus name, rounded up to 4, moved to the start of the buffer.
  EXPECT_EQ(kept, 32u);  // 12 + 20 bytes of name

  // The next read fills the buffer after the kept entry.
  b.StartAt(kept);
  b.Add(5, u"new.txt");
  b.Add(2, u"after.txt");
  Collect next;
  EXPECT_EQ(ParseChangeBuffer(b.bytes.data(), b.end, next), 0u);
  const std::vector<Seen> want{{ChangeAction::kRenamed, u"\u6587\u4ef6-old.txt", u"new.txt"},
                               {ChangeAction::kRemoved, u"after.txt", u""}};
  EXPECT_EQ(next.seen, want);
}

TEST(ChangeBuffer, NeverReadsPastTheBytesItWasGiven) {
  {
    // A name length far beyond the data is cut at the end of the valid bytes.
    Buffer b;
    b.Add(1, u"abcd", 100000);
    Collect c;
    ParseChangeBuffer(b.bytes.data(), 12 + 4, c);
    ASSERT_EQ(c.seen.size(), 1u);
    EXPECT_EQ(c.seen[0].name, u"ab");
  }
  {
    // A next-entry offset that leaves the buffer ends the walk.
    Buffer b;
    const std::size_t at = b.Add(1, u"x");
    b.Put(at, 0xFFFFFFF0u);
    Collect c;
    ParseChangeBuffer(b.bytes.data(), 4096, c);
    EXPECT_EQ(c.seen.size(), 1u);
  }
  {
    // More valid bytes claimed than the buffer has are clamped.
    Buffer b;
    b.Add(2, u"y");
    Collect c;
    ParseChangeBuffer(b.bytes.data(), 1u << 30, c);
    EXPECT_EQ(c.seen.size(), 1u);
  }
  {
    // Fewer bytes than one header: nothing.
    Buffer b;
    b.Add(1, u"z");
    Collect c;
    EXPECT_EQ(ParseChangeBuffer(b.bytes.data(), 11, c), 0u);
    EXPECT_TRUE(c.seen.empty());
  }
}

// The read ended inside the header of the entry after an old name: the
// look-ahead must not take the cut header for the new name. The bytes sit in
// a heap block of exactly that size, so a read past them is caught.
TEST(ChangeBuffer, CutHeaderAfterAnOldNameIsNotReadAsItsNewName) {
  for (const std::size_t cut : {0u, 4u, 8u, 11u}) {
    Buffer b;
    b.Add(4, u"old\u4e2d");  // 12 + 8 bytes
    b.Add(5, u"new");
    const std::size_t valid = 20 + cut;
    std::vector<std::byte> exact(b.bytes.begin(), b.bytes.begin() + static_cast<long>(valid));
    Collect c;
    EXPECT_EQ(ParseChangeBuffer(exact.data(), valid, c), 20u) << cut;
    EXPECT_TRUE(c.seen.empty()) << cut;
  }
}

TEST(ChangeBuffer, AnOldNameTooLongToKeepIsDropped) {
  Buffer b;
  b.Add(4, std::u16string(1500, u'n'));  // 3000 bytes of name
  Collect c;
  EXPECT_EQ(ParseChangeBuffer(b.bytes.data(), b.end, c), 0u);
  EXPECT_TRUE(c.seen.empty());
}

}  // namespace
}  // namespace torvane::filewatch
