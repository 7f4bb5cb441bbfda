#include <gtest/gtest.h>

#include "platform/clock.h"

namespace torvane::platform {
namespace {

TEST(TimeStamp, PadsEveryField) {
  EXPECT_EQ(FormatTimeStamp({2026, 1, 2, 3, 4, 5}), "2026-01-02 03:04:05");
  EXPECT_EQ(FormatTimeStamp({999, 12, 31, 23, 59, 59}), "0999-12-31 23:59:59");
}

TEST(TimeStamp, NowIsWellFormed) {
  const std::string s = LocalTimeStamp();
  ASSERT_EQ(s.size(), 19u);
  EXPECT_EQ(s[4], '-');
  EXPECT_EQ(s[10], ' ');
  EXPECT_EQ(s[13], ':');
  const LocalTime t = LocalTimeNow();
  EXPECT_GE(t.year, 2020);
  EXPECT_GE(t.month, 1);
  EXPECT_LE(t.month, 12);
}

}  // namespace
}  // namespace torvane::platform
