// Windows: a symbolic link planted under the name of a file the library
// writes is opened as itself and refused, never followed to its target.
#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "config/host_directory.h"
#include "platform/file.h"
#include "report/operation_log.h"
#include "report/warning_store.h"
#include "support/temp_dir.h"

namespace torvane::platform {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ReparsePoints : public ::testing::Test {
 protected:
  void SetUp() override { config::SetHostDirectoryOverride(host_.dir()); }
  void TearDown() override { config::SetHostDirectoryOverride(std::nullopt); }
  // A link under `name` in the host folder to a file that must stay as it
  // is; false where links cannot be made, or are not made as reparse points
  // (Wine makes a host link, which its file calls follow whatever the flags).
  bool Plant(const std::string& name) {
    const std::string link = host_.dir() + name;
    if (!::CreateSymbolicLinkA(link.c_str(), victim_.c_str(), 0)) return false;
    const DWORD attributes = ::GetFileAttributesA(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  }

  test::TempDir host_, elsewhere_;
  const std::string victim_ = elsewhere_.Write("victim", "keep me");
};

TEST_F(ReparsePoints, FilesAreNotOpenedThroughALink) {
  const std::string link = host_.dir() + "info2.sys";
  if (!Plant("info2.sys")) GTEST_SKIP() << "no symbolic links as reparse points here";
  EXPECT_TRUE(PlantedAt(link));
  EXPECT_FALSE(File::Open(link, File::Mode::kReadShared));
  EXPECT_FALSE(File::Open(link, File::Mode::kReadWriteAlways));
  EXPECT_EQ(report::AppendWarningRecord(link, "record"), -1);
  EXPECT_EQ(ReadAll(victim_), "keep me");
  EXPECT_NE(ReadAll(host_.dir() + report::kOperationLogName).find("Error:Store refused, not a regular file: "),
            std::string::npos);
  // The log itself is not written through a link either.
  ASSERT_TRUE(::DeleteFileA((host_.dir() + report::kOperationLogName).c_str()));
  ASSERT_TRUE(Plant(report::kOperationLogName));
  report::WriteOperationLog("a line");
  EXPECT_EQ(ReadAll(victim_), "keep me");
  // A regular file is no planted one.
  EXPECT_FALSE(PlantedAt(victim_));
  EXPECT_TRUE(File::Open(victim_, File::Mode::kReadShared));
}

}  // namespace
}  // namespace torvane::platform
#endif
