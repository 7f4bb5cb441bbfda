#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace torvane::platform {
namespace {

// Run with the ANSI code page 936 (GBK), as on the target systems.
TEST(CodePage, GbkRoundTrips) {
  const std::string gbk = "\xb4\xf2\xbf\xaa" "a:\\b";  // 打开a:\b
  const std::u16string wide = AnsiToUtf16(gbk);
  EXPECT_EQ(wide, u"打开a:\\b");
  EXPECT_EQ(Utf16ToAnsi(wide), gbk);
  EXPECT_EQ(AnsiToUtf16(""), u"");
}

TEST(CodePage, UnconvertibleBecomesQuestionMark) {
  EXPECT_EQ(Utf16ToAnsi(u"a\u00e9\U0001F600b").front(), 'a');
  EXPECT_EQ(Utf16ToAnsi(u"a\U0001F600b").find('?') != std::string::npos, true);
  const std::u16string cut = AnsiToUtf16("ab\xb4");  // a lead byte with no trail byte
  ASSERT_FALSE(cut.empty());
  EXPECT_EQ(cut.substr(0, 2), u"ab");
}

}  // namespace
}  // namespace torvane::platform
