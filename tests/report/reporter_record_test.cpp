#include <gtest/gtest.h>

#include "report/undelivered_record.h"

namespace torvane::report {
namespace {

TEST(UndeliveredRecord, PiecesJoinedByBarsNothingEscaped) {
  EXPECT_EQ(UndeliveredRecord("T1", "2026-01-02 03:04:05", "X", 2), "T1|2026-01-02 03:04:05|X|2|");
  EXPECT_EQ(UndeliveredRecord("", "w", "a|b,c", 2), "|w|a|b,c|2|");
  EXPECT_EQ(UndeliveredRecord("g", "w", "", -2147483647 - 1), "g|w||-2147483648|");
  const std::string gbk = "\xb2\xe5\xc8\xeb";
  EXPECT_EQ(UndeliveredRecord("g", "w", gbk, 2), "g|w|" + gbk + "|2|");
}

}  // namespace
}  // namespace torvane::report
