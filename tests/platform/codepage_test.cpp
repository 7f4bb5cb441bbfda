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

// Texts far longer than one conversion step, mixing one- and two-byte
// characters so that steps end at every position of a character; an
// unconvertible character on the way must not shift what follows.
TEST(CodePage, LongTextsConvertWhole) {
  std::u16string wide;
  std::string gbk;
  for (int i = 0; i < 20000; ++i) {
    if (i % 3 == 0) {
      wide += u"\u6253";  // 打
      gbk += "\xb4\xf2";
    } else {
      wide += static_cast<char16_t>(u'a' + i % 26);
      gbk += static_cast<char>('a' + i % 26);
    }
  }
  EXPECT_EQ(AnsiToUtf16(gbk), wide);
  EXPECT_EQ(Utf16ToAnsi(wide), gbk);
  const std::string withUnknown = Utf16ToAnsi(wide + u"\U0001F600" + wide);
  EXPECT_EQ(withUnknown.substr(0, gbk.size()), gbk);
  EXPECT_EQ(withUnknown.substr(withUnknown.size() - gbk.size()), gbk);
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
