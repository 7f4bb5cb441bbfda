#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "config/check_value.h"
#include "config/config.h"
#include "config/host_directory.h"
#include "platform/host_dir.h"
#include "platform/registry.h"
#include "support/state_dir_fixture.h"
#include "support/temp_dir.h"

namespace torvane::config {
namespace {

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override { SetHostDirectoryOverride(folder_.dir()); }
  void TearDown() override { SetHostDirectoryOverride(std::nullopt); }
  void Write(const std::string& file, const std::string& body) {
    folder_.Write(file, "[KOLMERA]\r\n" + body);
  }
  test::TempDir folder_;
};

TEST_F(ConfigTest, MissingFilesGiveTheDefaults) {
  EXPECT_EQ(ReadUfileAudit(), 0);
  EXPECT_EQ(ReadGenericUDisk(), 0);
  EXPECT_EQ(ReadGeneral(), 0);
  EXPECT_EQ(ReadUser(), "");
  EXPECT_EQ(ReadUid(), "");
  EXPECT_EQ(ReadReg(), "0");  // classified disks are then ignored
  EXPECT_EQ(ReadWebAddress(), "");
  const auto ids = ReadUnitAndFieldId();
  EXPECT_EQ(ids.unit, "");
  EXPECT_EQ(ids.field, "");
}

TEST_F(ConfigTest, EachValueComesFromItsOwnFileAndKey) {
  Write("KOLMERA.cfg", "UfileAudit=2\r\nGenericUDisk=1\r\nUser=\xd5\xc5\xc8\xfd\r\nUID=wrong\r\n");
  Write("id.cfg",
        "General=1\r\nUNITID=00112233445566778899AABBCCDDEEFF\r\nFIELDID=0006\r\nUID=WS-7\r\n");
  Write("kolMera2.ini", "reg=00\r\nWebAddress=http://10.0.0.1/WebDeduRazivor/services/DeduRazivor\r\n");
  EXPECT_EQ(ReadUfileAudit(), 2);
  EXPECT_EQ(ReadGenericUDisk(), 1);
  EXPECT_EQ(ReadUser(), "\xd5\xc5\xc8\xfd");  // GBK bytes pass through untouched
  EXPECT_EQ(ReadGeneral(), 1);
  const auto ids = ReadUnitAndFieldId();
  EXPECT_EQ(ids.unit, "00112233445566778899AABBCCDDEEFF");
  EXPECT_EQ(ids.field, "0006");
  EXPECT_EQ(ReadUid(), "WS-7");
  EXPECT_EQ(ReadReg(), "00");  // not "0": the terminal counts as registered
  EXPECT_EQ(ReadWebAddress(), "http://10.0.0.1/WebDeduRazivor/services/DeduRazivor");
}

TEST_F(ConfigTest, ValuesAreReadAfreshAtEachCall) {
  Write("KOLMERA.cfg", "UfileAudit=1\r\n");
  EXPECT_EQ(ReadUfileAudit(), 1);
  Write("KOLMERA.cfg", "UfileAudit=0\r\n");
  EXPECT_EQ(ReadUfileAudit(), 0);
}

TEST_F(ConfigTest, LongTextIsCutTo258Bytes) {
  const std::string value(300, 'w');
  Write("kolMera2.ini", "WebAddress=" + value + "\r\n");
  EXPECT_EQ(ReadWebAddress(), value.substr(0, 258));
}

TEST_F(ConfigTest, IntegersFollowTheProfileRules) {
  Write("KOLMERA.cfg", "UfileAudit=0x10\r\nGenericUDisk= 12abc\r\n");
  Write("id.cfg", "General=-5\r\n");
  EXPECT_EQ(ReadUfileAudit(), 16);
  EXPECT_EQ(ReadGenericUDisk(), 12);
  EXPECT_EQ(ReadGeneral(), -5);
}

TEST(HostDirectory, IsTheExecutablesFolderWithItsSeparator) {
  SetHostDirectoryOverride(std::nullopt);
  const std::string dir = HostDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), platform::kPathSeparator);
  EXPECT_EQ(dir, platform::ExecutableDirectory());
}

class CheckValueTest : public test::OwnStateDirTest {
 protected:
  static std::optional<std::uint32_t> Check() {
    auto key = platform::LocalMachineKey::OpenOrCreate(kCheckKey);
    return key ? key->ReadDword(kCheckValue) : std::nullopt;
  }
};

TEST_F(CheckValueTest, PositiveSizeIsStoredOtherwiseTheValueGoes) {
  ASSERT_EQ(SetCheckValue(16), 0);
  EXPECT_EQ(Check(), 16u);
  ASSERT_EQ(SetCheckValue(0), 0);
  EXPECT_EQ(Check(), std::nullopt);
  ASSERT_EQ(SetCheckValue(32), 0);
  ASSERT_EQ(SetCheckValue(-1), 0);
  EXPECT_EQ(Check(), std::nullopt);
  EXPECT_EQ(SetCheckValue(0), 0);  // deleting an absent value is fine
  ASSERT_EQ(SetCheckValue(0x7fffffff), 0);
  EXPECT_EQ(Check(), 0x7fffffffu);
}

#ifndef _WIN32
TEST_F(CheckValueTest, UnwritableStateFolderGivesMinusOne) {
  const std::string file = state_.Write("plain-file", "x");
  ::setenv("TORVANE_STATE_DIR", file.c_str(), 1);
  EXPECT_EQ(SetCheckValue(16), -1);
}
#endif

}  // namespace
}  // namespace torvane::config
