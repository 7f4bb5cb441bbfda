// A whole admission through the production binding: the real reporter (no
// server, so every event lands in the warning store), the real operation
// log, the real file activity monitor, the stand-in library loaded by path.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "admission/event_text.h"
#include "admission/production_services.h"
#include "admission/scan_pass.h"
#include "admission/selvik_library.h"
#include "admission/texts.h"
#include "config/host_directory.h"
#include "filewatch/drive_audit.h"
#include "platform/drive_map.h"
#include "platform/scripted_ui.h"
#include "report/warning_store.h"
#include "support/admission_fixture.h"

namespace torvane::admission {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class ProductionTest : public test::AdmissionTest {};

TEST_F(ProductionTest, ClassifiedDiskIsAdmittedReportedConsumedAndWatched) {
  const std::string unit = "00112233445566778899AABBCCDDEEFF";
  Configure({.ufileAudit = 1, .user = "Owner", .unitId = unit, .fieldId = "10"});
  test::SimulatedDisks sim("[drive e]\nvid = 0951\npid = 1666\nserial = SEC-1\nclassified = 1\n"
                           "owner = Owner\ncheck_user = 1\nauth = " + unit + " 1 2 3 0x10\n"
                           "password = pass1234\n");
#ifndef _WIN32
  test::TempDir root;
  ASSERT_TRUE(platform::SetDriveRoot('e', root.path().string()));
#endif
  auto ui = platform::ScriptedUi::FromText("type 8001 bad\npress 1\ntype 8001 pass1234\npress 1\n", nullptr);
  platform::ScriptedUi& transcript = *ui;
  auto services = CreateProductionServices(std::move(ui), TORVANE_SELVIK_PATH);
  AdmissionState state;
  RunScanPass(*services, state, nullptr);

  EXPECT_THAT(transcript.Transcript(), ::testing::Contains("dialog 8001 end 1"));
  EXPECT_EQ(sim.Value("drive e", "opened"), "1");
  EXPECT_EQ(sim.Value("drive e", "auth"), unit + " 1 1 3 0x00000010");

  const std::string log = ReadFile(host_.dir() + "usboperror.log");
  EXPECT_NE(log.find(std::string(FormatEventText(text::kLogTryFailed, 1).view())), std::string::npos) << log;

  const auto records = report::SplitWarningRecords(report::ReadWarningStore(host_.dir() + "info2.sys"));
  const std::vector<std::string> expected = {
      std::string(FormatEventText(text::kClassifiedInserted, 'e', "SEC-1", "Owner").view()),
      std::string(FormatEventText(text::kRestrictedPolicy, 'e', "SEC-1").view()),
      std::string(FormatEventText(text::kWrongPasswordOwner, 'e', "SEC-1", "Owner").view()),
      std::string(FormatEventText(text::kOpenedOwner, 'e', "SEC-1", "Owner").view()),
      std::string(FormatEventText(text::kUseConsumed, 'e', "SEC-1").view())};
  ASSERT_EQ(records.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NE(records[i].find("|" + expected[i] + "|2|"), std::string::npos) << i;
  }
  EXPECT_EQ(state.auditLevel.load(), 1);
#ifndef _WIN32
  EXPECT_EQ(filewatch::FileMonitor().WatchCount(), 1u) << "the drive's root is watched";
  filewatch::StopAllAudits();
  platform::SetDriveRoot('e', "");
#endif
}

class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::filesystem::path& dir) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~CurrentDirectory() { std::filesystem::current_path(old_); }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

 private:
  std::filesystem::path old_;
};

// The library comes from the host directory only. A working copy planted in
// the current directory is never loaded, not even when the host directory
// has none or is unknown.
TEST_F(ProductionTest, LibraryIsLoadedFromTheHostDirectoryOnly) {
  test::SimulatedDisks sim("[drive g]\nvid = 1234\npid = 5678\nserial = PLAIN-G\nclassified = 0\n");
  test::TempDir planted;
  std::filesystem::copy_file(TORVANE_SELVIK_PATH, planted.path() / SelvikLibraryName());
  CurrentDirectory cd(planted.path());

  auto services = CreateProductionServices(platform::ScriptedUi::FromText("", nullptr));
  EXPECT_EQ(services->Disk(), nullptr);
  EXPECT_NE(ReadFile(host_.dir() + "usboperror.log").find("Error: secure-disk library not loaded"),
            std::string::npos);

  config::SetHostDirectoryOverride(std::string());
  EXPECT_EQ(services->Disk(), nullptr);
  config::SetHostDirectoryOverride(host_.dir());
  // With the host directory unknown the log itself goes by its bare name.
  EXPECT_NE(ReadFile((planted.path() / "usboperror.log").string())
                .find("Error: secure-disk library not loaded: the host directory is unknown"),
            std::string::npos);
  EXPECT_THAT(sim.Calls(), ::testing::IsEmpty()) << "the planted library ran";

  // Put into the host directory, the library is found at the next need.
  std::filesystem::copy_file(TORVANE_SELVIK_PATH, host_.path() / SelvikLibraryName());
  ASSERT_NE(services->Disk(), nullptr);
  EXPECT_EQ(services->Disk()->GetUsbStorageDriver(), 1u << 6);
}

TEST_F(ProductionTest, MissingLibraryIsLoggedAndNothingIsAdmitted) {
  auto services = CreateProductionServices(platform::ScriptedUi::FromText("", nullptr),
                                           std::string(TORVANE_SELVIK_PATH) + ".missing");
  AdmissionState state;
  RunScanPass(*services, state, nullptr);
  const std::string log = ReadFile(host_.dir() + "usboperror.log");
  EXPECT_NE(log.find("Error: secure-disk library not loaded"), std::string::npos) << log;
  for (const auto& slot : state.slots) EXPECT_EQ(slot.handled.load(), 0);
}

}  // namespace
}  // namespace torvane::admission
