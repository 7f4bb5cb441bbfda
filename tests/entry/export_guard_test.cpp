// What an export's body throws stays inside the library.
#include "entry/export_guard.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>

#include "config/host_directory.h"
#include "support/temp_dir.h"

namespace torvane::entry {
namespace {

class ExportGuardTest : public ::testing::Test {
 protected:
  ExportGuardTest() { config::SetHostDirectoryOverride(dir_.dir()); }
  ~ExportGuardTest() override { config::SetHostDirectoryOverride(std::nullopt); }
  std::string Log() const {
    std::ifstream in(dir_.path() / "usboperror.log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  test::TempDir dir_;
};

TEST_F(ExportGuardTest, AThrowingBodyLeavesOneErrorLineAndReturnsZero) {
  EXPECT_EQ(RunExportBody("DoWork", []() -> int { throw std::runtime_error("no window"); }), 0);
  EXPECT_EQ(RunExportBody("DoWork", []() -> int { throw 7; }), 0);
  EXPECT_EQ(RunExportBody("DoWork", []() -> int { throw std::bad_alloc(); }), 0);
  const std::string log = Log();
  EXPECT_NE(log.find(" Error:DoWork no window\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" Error:DoWork unknown exception\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" Error:DoWork std::bad_alloc\r\n"), std::string::npos) << log;
  std::size_t lines = 0;
  for (char c : log) lines += c == '\n';
  EXPECT_EQ(lines, 3u);
}

TEST_F(ExportGuardTest, ABodyThatReturnsIsNotLogged) {
  EXPECT_EQ(RunExportBody("DoWork", [] { return 0; }), 0);
  EXPECT_EQ(Log(), "");
}

}  // namespace
}  // namespace torvane::entry
