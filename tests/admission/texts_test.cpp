#include <gtest/gtest.h>

#include <string>

#include "admission/texts.h"

namespace {

// The system's texts are GBK bytes whatever the build or locale.
TEST(Texts, AreGbkBytes) {
  const std::string text = torvane::admission::text::kOpenOrdinaryFailed;  // 打开非涉密优盘失败!
  EXPECT_EQ(text,
            "\xb4\xf2\xbf\xaa\xb7\xc7\xc9\xe6\xc3\xdc\xd3\xc5\xc5\xcc\xca\xa7\xb0\xdc!");
}

}  // namespace
