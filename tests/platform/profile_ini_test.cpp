// The POSIX profile lookup's own rules; its agreement with the Windows
// functions is checked separately by the parity run under Wine.
#ifndef _WIN32
#include <gtest/gtest.h>

#include "platform/posix/profile_ini.h"
#include "platform/profile.h"
#include "support/temp_dir.h"

namespace torvane::platform::ini {
namespace {

TEST(ProfileIni, GbkTrailBytesAreNotSyntax) {
  // 0x5d (']') and 0x5b ('[') occur as trail bytes of GBK characters.
  const std::string file = "[\x81\x5d\x81\x5b]\n\x81\x5b=v\n";
  EXPECT_EQ(FindValue(file, "\x81\x5d\x81\x5b", "\x81\x5b"), "v");
  // The closing bracket is the last whole ']' of the line.
  EXPECT_EQ(FindValue("[a]b]\nk=1\n", "a]b", "k"), "1");
  EXPECT_EQ(FindValue("[a\x81]\nk=1\n", "a\x81]", "k"), std::nullopt);
}

TEST(ProfileIni, OnlyTheFirstSectionOfANameIsSearched) {
  EXPECT_EQ(FindValue("[s]\na=1\n[S]\nb=2\n", "s", "b"), std::nullopt);
  EXPECT_EQ(FindValue("[s]\na=1\na=2\n", "S", "A"), "1");
  EXPECT_EQ(FindValue("a=0\n[s]\n", "", "a"), "0");
}

TEST(ProfileIni, CopyEntryCutsOnACharacterBoundary) {
  EXPECT_EQ(CopyEntry("ab\xd5\xc5", 4), "ab");  // 3 bytes fit, the pair does not
  EXPECT_EQ(CopyEntry("ab\xd5\xc5", 5), "ab\xd5\xc5");
  EXPECT_EQ(CopyEntry("\"abc\"", 259), "abc");
  EXPECT_EQ(CopyEntry("'abc\"", 259), "'abc\"");
  EXPECT_EQ(CopyEntry("anything", 0), "");
}

// A quoted value whose text exactly fills the buffer loses one character
// more than the buffer needs, as the Windows profile functions do (the
// parity test checks the same sizes against them under Wine).
TEST(ProfileIni, QuotedValueThatExactlyFillsTheBuffer) {
  EXPECT_EQ(CopyEntry("\"quoted\"", 9), "quoted");
  EXPECT_EQ(CopyEntry("\"quoted\"", 8), "quoted");
  EXPECT_EQ(CopyEntry("\"quoted\"", 7), "quote");
  EXPECT_EQ(CopyEntry("\"quoted\"", 6), "quote");
  EXPECT_EQ(CopyEntry("'q'", 2), "");
  EXPECT_EQ(CopyEntry("quoted", 7), "quoted");  // unquoted: nothing lost
}

TEST(ProfileIni, IntegerReading) {
  EXPECT_EQ(ParseProfileInt("0x10"), 16);
  EXPECT_EQ(ParseProfileInt(" 12abc"), 12);
  EXPECT_EQ(ParseProfileInt("-5"), -5);
  EXPECT_EQ(ParseProfileInt("+3"), 3);
  EXPECT_EQ(ParseProfileInt("99999999999"), static_cast<int>(99999999999ULL & 0xffffffffu));
  EXPECT_EQ(ParseProfileInt("0b101"), 5);
  EXPECT_EQ(ParseProfileInt("0X10"), 0);
  EXPECT_EQ(ParseProfileInt("abc"), 0);
}

// The file is read up to 4 MiB, however it arrives: a key whose line ends
// inside the bound is found, one past it is not, and a missing file gives
// the default.
TEST(ProfileIni, FileIsReadUpToItsBound) {
  const test::TempDir dir;
  constexpr std::size_t kBound = 4 * 1024 * 1024;
  const std::string head = "[s]\nk=1\n";
  std::string text = head + std::string(kBound - head.size() - 5, ';') + "\nj=2";
  const std::string path = dir.Write("a.ini", text + "\nx=3\n");
  EXPECT_EQ(ProfileString("s", "k", "d", 64, path), "1");
  EXPECT_EQ(ProfileString("s", "j", "d", 64, path), "2");
  EXPECT_EQ(ProfileString("s", "x", "d", 64, path), "d");
  EXPECT_EQ(ProfileInt("s", "j", 7, path), 2);
  EXPECT_EQ(ProfileString("s", "k", "d", 64, dir.dir() + "missing.ini"), "d");
}

}  // namespace
}  // namespace torvane::platform::ini
#endif
