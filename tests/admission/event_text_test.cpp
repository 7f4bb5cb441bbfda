#include <gtest/gtest.h>

#include <string>

#include "admission/event_text.h"

namespace torvane::admission {
namespace {

TEST(EventText, FitsAreKeptWhole) {
  const EventText t = FormatEventText("%c:%s:%d", 'e', "abc", -7);
  EXPECT_EQ(t.view(), "e:abc:-7");
  EXPECT_FALSE(t.cut());
}

// 511 bytes fit. A double-byte character that would straddle the end is
// dropped whole, wherever ASCII bytes shift the character boundaries.
TEST(EventText, OverlongTextsAreCutOnACharacterBoundary) {
  for (std::size_t ascii = 0; ascii < 4; ++ascii) {
    std::string arg(ascii, 'a');
    for (int i = 0; i < 300; ++i) arg += "\xd6\xd0";  // a GBK character
    const EventText t = FormatEventText("%s", arg.c_str());
    EXPECT_TRUE(t.cut());
    const std::size_t expected = ascii + ((511 - ascii) / 2) * 2;
    EXPECT_EQ(t.view().size(), expected) << ascii;
    EXPECT_EQ(t.view(), std::string_view(arg).substr(0, expected));
  }
  // A trail byte in the ASCII range does not fool the walk.
  std::string tricky(509, 'x');
  tricky += "\x81\x41\x81\x41";
  EXPECT_EQ(FormatEventText("%s", tricky.c_str()).view().size(), 511u);
  tricky.insert(0, "\x81");  // now the pairs are shifted by one lead byte
  EXPECT_EQ(FormatEventText("%s", tricky.c_str()).view().size(), 510u);
}

TEST(EventText, PrefixLengthNeverSplitsACharacter) {
  EXPECT_EQ(GbkPrefixLength("ab\xd6\xd0", 3), 2u);
  EXPECT_EQ(GbkPrefixLength("ab\xd6\xd0", 4), 4u);
  EXPECT_EQ(GbkPrefixLength("\xd6", 1), 1u) << "a lone lead byte at the end counts alone";
}

}  // namespace
}  // namespace torvane::admission
