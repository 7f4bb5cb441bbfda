// The device watch window's handlers, driven through the scripted UI.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "admission/device_watch.h"
#include "admission/event_text.h"
#include "admission/kernel_names.h"
#include "admission/texts.h"
#include "platform/atom.h"
#include "support/admission_fixture.h"

namespace torvane::admission {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::string Disk(char letter, bool classified) {
  return std::string("[drive ") + letter + "]\nvid = 0951\npid = 1666\nserial = SN-" + letter +
         "\nclassified = " + (classified ? "1" : "0") + "\nowner = Owner\ngeneral = 1\npassword = pass1234\n";
}

class DeviceWatchTest : public test::AdmissionTest {
 protected:
  void RunWindow() {
    // Not owning: the fixture keeps the services, and joins their threads.
    std::shared_ptr<AdmissionServices> services(std::shared_ptr<void>(), services_.get());
    window_ = std::make_unique<CDeviceMsgDlg>(services, state_);
    services_->Ui().RunModal(CDeviceMsgDlg::kTemplate, *window_);
    services_->JoinThreads();
  }
  DriveSlot& Slot(char letter) { return state_->slots[static_cast<std::size_t>(letter - 'a')]; }
  std::unique_ptr<CDeviceMsgDlg> window_;
};

TEST_F(DeviceWatchTest, StartResetsSlotsStopsOldWatchesThenScans) {
  Configure({.ufileAudit = 1});
  Start(Disk('g', false), "");
  Slot('e').handled = 1;
  Slot('e').serial = "OLD";
  services_->now = 777;
  services_->drives = std::string("A:\\\0G:\\\0\0", 9);
  RunWindow();
  EXPECT_EQ(window_->DriveListText(), "A:\\_G:\\_");
  EXPECT_EQ(Slot('e').handled.load(), 0);
  EXPECT_EQ(Slot('e').serial, "");
  EXPECT_EQ(Slot('e').lastHandled, 777);
  EXPECT_EQ(state_->auditLevel.load(), 1);
  EXPECT_THAT(services_->Audits(), ElementsAre("stop all"));
  EXPECT_EQ(Slot('g').handled.load(), 1) << "the first pass ran";
  EXPECT_THAT(services_->Transcript(), Contains("8000 show 0,0 0x0"));
}

// Watches left by an earlier run are stopped before the first pass watches
// the disk that is already present, not after.
TEST_F(DeviceWatchTest, AtStartOldWatchesStopBeforeThePresentDiskIsWatched) {
  Configure({.general = 1, .ufileAudit = 2});
  Start(Disk('e', true), "dialog 8001\ntype 8001 pass1234\npress 1\n");
  RunWindow();
  EXPECT_THAT(services_->Audits(), ElementsAre("stop all", "start e"));
  EXPECT_EQ(state_->auditLevel.load(), 2);
}

TEST_F(DeviceWatchTest, EnterEscapeAndCloseLeaveTheWindowRunning) {
  Start("", "enter\nescape\nclose\npress 2\n");
  RunWindow();
  const auto t = services_->Transcript();
  ASSERT_GE(t.size(), 3u);
  EXPECT_EQ(t[t.size() - 3], "8000 press 2");
  EXPECT_EQ(t[t.size() - 2], "8000 script ended") << "only the outside ends it";
}

TEST_F(DeviceWatchTest, RemovalUnwatchesTheLowestDriveAndReArmsDrivesThatAreGone) {
  Configure({.ufileAudit = 1});
  // Initialisation clears the slots: the hook marks them inside the window.
  Start("", "call mark\nremove fg\nremove e 3\nremove 0\n");
  services_->drives = std::string("C:\\\0E:\\\0\0", 9);
  services_->ui->SetHook("mark", [&] {
    for (char c : {'e', 'f', 'g'}) Slot(c).handled = 1;
  });
  RunWindow();
  EXPECT_THAT(services_->Audits(), ElementsAre("stop all", "stop F"))
      << "one unwatch for the lowest drive of a volume mask; none for other types or no drive";
  EXPECT_EQ(Slot('e').handled.load(), 1) << "still present";
  EXPECT_EQ(Slot('f').handled.load(), 0);
  EXPECT_EQ(Slot('g').handled.load(), 0);
}

// The system's drive list can still show a pulled disk when its removal
// arrives; the letter is re-armed all the same, since its volume no longer
// answers.
TEST_F(DeviceWatchTest, AVolumeRemovalReArmsItsDrivesWhileTheListStillShowsThem) {
  Configure({.general = 1});
  Start("", "call mark\nremove e\ncall plug\narrive\n");
  services_->drives = std::string("C:\\\0E:\\\0\0", 9);
  services_->silent = "E";
  services_->ui->SetHook("mark", [&] { Slot('e').handled = 1; });
  services_->ui->SetHook("plug", [&] { std::ofstream(sim_->path(), std::ios::app) << Disk('e', true); });
  RunWindow();
  const auto t = services_->Transcript();
  EXPECT_EQ(std::count(t.begin(), t.end(), "dialog 8001 open"), 1) << "the disk put in at E is handled";
}

// Any process on the desktop can post a removal. One naming a classified
// disk that is still in place, outside the reinsert window, brings neither a
// second password dialog nor a second authorized use.
TEST_F(DeviceWatchTest, AForgedRemovalOfAPresentDiskReArmsNothing) {
  constexpr char kUnit[] = "00112233445566778899AABBCCDDEEFF";
  Configure({.unitId = kUnit});
  const std::string unlock = "dialog 8001\ntype 8001 pass1234\npress 1\n";
  Start(std::string("[drive e]\nvid = 0951\npid = 1666\nserial = SN-e\nclassified = 1\nowner = Owner\n"
                    "password = pass1234\nauth = ") + kUnit + " 1 3 0 0\n",
        unlock + "call later\nremove e\narrive\n" + unlock);
  services_->drives = std::string("C:\\\0E:\\\0\0", 9);
  services_->ui->SetStepWait(std::chrono::milliseconds(1000));
  services_->ui->SetHook("later", [&] { services_->now += 3600; });
  RunWindow();
  const auto t = services_->Transcript();
  EXPECT_EQ(std::count(t.begin(), t.end(), "dialog 8001 open"), 1);
  EXPECT_EQ(Slot('e').handled.load(), 1);
  EXPECT_EQ(sim_->Value("drive e", "auth"), std::string(kUnit) + " 1 2 0 0x00000000") << "one use, the first";
}

TEST_F(DeviceWatchTest, RemovalClearsFlagsButDoesNotUnwatchWhileSuspendedOrNotAuditing) {
  Start("", "call mark\nremove f\n");
  services_->ui->SetHook("mark", [&] { Slot('f').handled = 1; });
  RunWindow();  // UfileAudit 0
  EXPECT_EQ(Slot('f').handled.load(), 0);
  EXPECT_THAT(services_->Audits(), IsEmpty());

  Configure({.ufileAudit = 1});
  ASSERT_TRUE(platform::AddGlobalAtom(kSuspendAtom));
  services_->ui = platform::ScriptedUi::FromText("call mark\nremove f\n", nullptr);
  services_->ui->SetHook("mark", [&] { Slot('f').handled = 1; });
  RunWindow();
  platform::DeleteGlobalAtom(kSuspendAtom);
  EXPECT_EQ(Slot('f').handled.load(), 0);
  EXPECT_THAT(services_->Audits(), ElementsAre("stop all"));  // from the start only
}

TEST_F(DeviceWatchTest, TimerOneRescansAndRearmsOtherTimersDoNothing) {
  Start(Disk('g', false), "call unmark\ntimer 2\ntimer 1\n");
  services_->ui->SetHook("unmark", [&] { Slot('g').handled = 0; });
  RunWindow();
  EXPECT_EQ(services_->Logs().size(), 2u) << "start pass and timer pass";
  const auto t = services_->Transcript();
  const auto kill = std::find(t.begin(), t.end(), "8000 killtimer 1");
  ASSERT_NE(kill, t.end());
  EXPECT_EQ(*(kill - 1), "8000 timer 1");
  EXPECT_EQ(*(kill + 1), "8000 settimer 1 10000");
  EXPECT_EQ(std::count(t.begin(), t.end(), "8000 killtimer 1"), 1);
}

// Arrivals while the first pass's password dialog is open bring no pass of
// their own; the disks plugged in meanwhile are handled, a to z, as soon as
// that dialog closes, with no further arrival.
TEST_F(DeviceWatchTest, DisksPluggedInDuringAPasswordDialogAreHandledWhenItCloses) {
  Configure({.genericUDisk = 1, .general = 1});
  Start(Disk('e', true),
        "dialog 8001\ncall plug\narrive\narrive\ntype 8001 pass1234\npress 1\n"
        "dialog 8001\ntype 8001 pass1234\npress 1\n");
  services_->ui->SetHook("plug", [&] {
    std::ofstream(sim_->path(), std::ios::app) << Disk('g', true) << Disk('f', false);
  });
  RunWindow();
  const std::string ordinary(FormatEventText(text::kOrdinaryInserted, 'f', "SN-f", "0951", "1666").view());
  const auto reports = services_->Reports();
  ASSERT_EQ(reports.size(), 7u);
  EXPECT_EQ(reports[2], std::string(FormatEventText(text::kOpenedOwner, 'e', "SN-e", "Owner").view()));
  EXPECT_EQ(reports[3], ordinary) << "f before g";
  EXPECT_EQ(reports[6], std::string(FormatEventText(text::kOpenedOwner, 'g', "SN-g", "Owner").view()));
  EXPECT_THAT(services_->Logs(), Contains(ordinary));
  EXPECT_THAT(sim_->Calls(), Contains(HasSubstr("VX_OpenUDisk")));
  EXPECT_EQ(Slot('f').handled.load(), 1);
  EXPECT_EQ(Slot('g').handled.load(), 1);
  EXPECT_THAT(services_->Boxes(), IsEmpty());
}

}  // namespace
}  // namespace torvane::admission
