#include "report/operation_log.h"

#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "report_fixture.h"

namespace torvane::report {
namespace {

using OperationLogTest = test::ReportTest;

const std::string kStamp = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})";

TEST_F(OperationLogTest, FirstCallCreatesTheFileWithOneStampedLine) {
  WriteOperationLog("\xbf\xda\xc1\xee\xb4\xed\xce\xf3 VX_TryUserPasswd code: 5");
  EXPECT_TRUE(std::regex_match(
      Log(), std::regex(kStamp + " \xbf\xda\xc1\xee\xb4\xed\xce\xf3 VX_TryUserPasswd code: 5\r\n")));
  WriteOperationLog("second");
  EXPECT_TRUE(std::regex_match(Log(), std::regex(kStamp + " .*\r\n" + kStamp + " second\r\n")));
}

TEST_F(OperationLogTest, EveryLineFeedIsStoredAsCrLf) {
  WriteOperationLog("Error:Decrypt 3\n");
  EXPECT_TRUE(std::regex_match(Log(), std::regex(kStamp + " Error:Decrypt 3\r\n\r\n")));
  std::filesystem::remove(Path("usboperror.log"));
  WriteOperationLog("a\nb\r\nc");
  EXPECT_TRUE(std::regex_match(Log(), std::regex(kStamp + " a\r\nb\r\r\nc\r\n")));
}

TEST_F(OperationLogTest, EmptyTextCreatesTheFileAndWritesNothing) {
  WriteOperationLog("");
  EXPECT_TRUE(std::filesystem::exists(Path("usboperror.log")));
  EXPECT_EQ(Log(), "");
}

TEST_F(OperationLogTest, AtFourMebibytesTheFileIsDeletedAndTheLineDropped) {
  const std::string log = host_.Write("usboperror.log", std::string(kOperationLogLimit - 1, 'x'));
  WriteOperationLog("fits");
  const auto grown = std::filesystem::file_size(log);
  EXPECT_GT(grown, kOperationLogLimit);
  EXPECT_EQ(Log().substr(kOperationLogLimit - 1 + 20), "fits\r\n");

  WriteOperationLog("dropped");
  EXPECT_FALSE(std::filesystem::exists(log));

  WriteOperationLog("fresh");
  EXPECT_TRUE(std::regex_match(Log(), std::regex(kStamp + " fresh\r\n")));
}

// Exactly at the limit counts as over it (">=", not ">").
TEST_F(OperationLogTest, ALogOfExactlyFourMebibytesIsDeleted) {
  const std::string log = host_.Write("usboperror.log", std::string(kOperationLogLimit, 'x'));
  WriteOperationLog("dropped");
  EXPECT_FALSE(std::filesystem::exists(log));
}

TEST_F(OperationLogTest, ConcurrentCallersLoseNoLines) {
  constexpr int kThreads = 8, kLines = 100;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i)
        WriteOperationLog("t" + std::to_string(t) + "-" + std::to_string(i));
    });
  for (auto& th : threads) th.join();
  const std::string log = Log();
  const std::regex line(kStamp + " t(\\d+)-(\\d+)\r\n");
  std::vector<int> seen(kThreads * kLines, 0);
  std::size_t matched = 0;
  for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator();
       ++it) {
    matched += static_cast<std::size_t>(it->length());
    ++seen[static_cast<std::size_t>(std::stoi((*it)[1]) * kLines + std::stoi((*it)[2]))];
  }
  EXPECT_EQ(matched, log.size());  // nothing torn or interleaved
  for (const int n : seen) EXPECT_EQ(n, 1);
}

}  // namespace
}  // namespace torvane::report
