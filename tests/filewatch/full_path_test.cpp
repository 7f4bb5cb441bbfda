#include <gtest/gtest.h>

#include <string>

#include "filewatch/full_path.h"

namespace torvane::filewatch {
namespace {

TEST(FullPath, JoinsWithOneBackslash) {
  EXPECT_EQ(FullPath("e:\\", u"dir\\a.txt"), "e:\\dir\\a.txt");
  EXPECT_EQ(FullPath("e:\\data", u"a.txt"), "e:\\data\\a.txt");
  EXPECT_EQ(FullPath("", u"a.txt"), "a.txt");
}

TEST(FullPath, NamesAreInTheAnsiCodePage) {
  // 文件.txt in GBK
  EXPECT_EQ(FullPath("e:\\", u"\u6587\u4ef6.txt"), "e:\\\xce\xc4\xbc\xfe.txt");
}

TEST(FullPath, LongNamesAreCutOnCharacterBoundaries) {
  // Over 260 units: the first 260 are taken.
  EXPECT_EQ(FullPath("e:\\", std::u16string(300, u'a')), "e:\\" + std::string(260, 'a'));

  // 200 double-byte characters are 400 bytes: 130 whole characters fit.
  std::string want;
  for (int i = 0; i < 130; ++i) want += "\xce\xc4";
  EXPECT_EQ(FullPath("e:\\", std::u16string(200, u'\u6587')), "e:\\" + want);

  // An odd byte budget left never ends in half a character.
  const std::u16string mixed = u"a" + std::u16string(200, u'\u6587');
  const std::string cut = FullPath("", mixed);
  EXPECT_EQ(cut, "a" + want.substr(0, 258));
}

}  // namespace
}  // namespace torvane::filewatch
