// The password dialog, run through the scripted UI against the stand-in.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "admission/event_text.h"
#include "admission/input_dlg.h"
#include "admission/texts.h"
#include "config/host_directory.h"
#include "support/admission_fixture.h"

namespace torvane::admission {
namespace {

using test::BoxLine;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kDiskE =
    "[drive e]\nvid = 0951\npid = 1666\nserial = SN-E\nclassified = 1\nowner = Owner\n"
    "password = pass1234\n";

std::string T(const EventText& t) { return std::string(t.view()); }

class InputDlgTest : public test::AdmissionTest {
 protected:
  // The dialog for the disk the scan pass checked: SN-E's ids.
  int Run(char letter = 'e', std::int32_t access = 5) {
    DiskIds ids;
    std::strcpy(ids.vid, "0951");
    std::strcpy(ids.pid, "1666");
    std::strcpy(ids.serial, "SN-E");
    CInputDlg dialog(*services_, letter, ids, access);
    return services_->Ui().RunModal(CInputDlg::kTemplate, dialog);
  }
  std::string FailBox(const char* text) { return BoxLine(8001, text::kCaptionFailure, 0x30, text); }
};

TEST_F(InputDlgTest, WrongPasswordThenRightOneOpensDismountsAndFormats) {
  Start(kDiskE, "type 8001 nope\ncheck 8006\npress 1\nbox\ntype 8001 pass1234\npress 1\n");
  EXPECT_EQ(Run(), platform::kIdOk);
  EXPECT_THAT(services_->Logs(), ElementsAre("\xBF\xDA\xC1\xEE\xB4\xED\xCE\xF3 VX_TryUserPasswd code: 1"));
  EXPECT_THAT(services_->Reports(),
              ElementsAre(T(FormatEventText(text::kWrongPasswordOwner, 'e', "SN-E", "Owner")),
                          T(FormatEventText(text::kOpenedOwner, 'e', "SN-E", "Owner"))));
  EXPECT_THAT(services_->Boxes(), ElementsAre(FailBox(text::kWrongPassword)));
  EXPECT_THAT(services_->Actions(), ElementsAre("dismount e", "run " + host_.dir() + "UsbDiskFormat.exe"));
  EXPECT_THAT(sim_->Calls(), ElementsAre("VX_IsDIZaraz e -> 1", "VX_GetUDiskInfoByDriver e -> 0",
                                         "VX_LoadRegInfo -> 0", "VX_TryUserPasswd nope -> 1",
                                         "VX_IsDIZaraz e -> 1", "VX_GetUDiskInfoByDriver e -> 0",
                                         "VX_LoadRegInfo -> 0", "VX_TryUserPasswd pass1234 -> 0",
                                         "VX_OpenSecDisk pass1234 e 5 -> 0"));
  // The wrong-password event is reported before its box is shown.
  const auto seq = services_->Sequence();
  const auto report = std::find(seq.begin(), seq.end(), "report " + services_->Reports()[0]);
  const auto box = std::find(seq.begin(), seq.end(), FailBox(text::kWrongPassword));
  EXPECT_LT(report, box);
}

TEST_F(InputDlgTest, TooManyTriesIsShownEachTimeAndTheDialogStaysOpen) {
  Start(kDiskE + "try_limit = 1\ntries = 1\n", "type 8001 pass1234\npress 1\npress 1\nclose\n");
  EXPECT_EQ(Run(), platform::kIdCancel);
  const std::string event = T(FormatEventText(text::kTooManyTriesOwner, 'e', "SN-E", "Owner"));
  EXPECT_THAT(services_->Reports(), ElementsAre(event, event));
  EXPECT_THAT(services_->Boxes(), ElementsAre(FailBox(text::kTooManyTries), FailBox(text::kTooManyTries)));
  EXPECT_THAT(services_->Logs(), IsEmpty());
}

TEST_F(InputDlgTest, UnreadableDiskIsShownButNotReported) {
  Start(kDiskE + "try_result = -2\n", "press 1\n");
  EXPECT_EQ(Run(), platform::kIdCancel);
  EXPECT_THAT(services_->Boxes(), ElementsAre(FailBox(text::kUnregisteredDisk)));
  EXPECT_THAT(services_->Reports(), IsEmpty());
  EXPECT_EQ(sim_->Calls().back(), "VX_TryUserPasswd -> -2") << "an empty box is passed on as typed";
}

TEST_F(InputDlgTest, OpenFailureStartsNothingEvenWithFormatChecked) {
  Start(kDiskE + "open_sec = 7\n", "type 8001 pass1234\ncheck 8006\npress 1\n");
  EXPECT_EQ(Run(), platform::kIdCancel);
  EXPECT_THAT(services_->Logs(), ElementsAre(T(FormatEventText(text::kLogOpenFailed, 7))));
  EXPECT_THAT(services_->Reports(), ElementsAre(T(FormatEventText(text::kOpenFailedOwner, 'e', "SN-E", "Owner"))));
  EXPECT_THAT(services_->Boxes(), ElementsAre(FailBox(text::kOpenClassifiedFailed)));
  EXPECT_THAT(services_->Actions(), IsEmpty());
}

TEST_F(InputDlgTest, UnreadableRecordGivesTheCodeVariant) {
  Start(kDiskE + "reg = 3\ntry_result = 0\n", "type 8001 pass1234\npress 1\n");
  EXPECT_EQ(Run('e', -1), platform::kIdOk);
  EXPECT_THAT(services_->Reports(), ElementsAre(T(FormatEventText(text::kOpenedCode, 'e', "SN-E", 3))));
  EXPECT_THAT(services_->Actions(), ElementsAre("dismount e")) << "format box not checked";
  EXPECT_EQ(sim_->Value("drive e", "access"), "-1");
}

TEST_F(InputDlgTest, MissingDiskIsShownBeforeAnyPasswordCheck) {
  Start(kDiskE, "type 8001 pass1234\npress 1\n");
  EXPECT_EQ(Run('h'), platform::kIdCancel);
  EXPECT_THAT(services_->Boxes(), ElementsAre(FailBox(text::kNoClassifiedDisk)));
  EXPECT_THAT(sim_->Calls(), ElementsAre("VX_IsDIZaraz h -> 0"));
}

TEST_F(InputDlgTest, CancelAndEscapeReportNothing) {
  Start(kDiskE, "type 8001 pass1234\npress 2\n");
  EXPECT_EQ(Run(), platform::kIdCancel);
  services_->ui = platform::ScriptedUi::FromText("escape\n", nullptr);
  EXPECT_EQ(Run(), platform::kIdCancel);
  EXPECT_THAT(services_->Reports(), IsEmpty());
  EXPECT_THAT(sim_->Calls(), IsEmpty());
}

TEST_F(InputDlgTest, ChangePasswordFromTheDialogThenUnlockWithTheNewOne) {
  Start(kDiskE,
        "press 8000\ndialog 8002\npress 8000\ntype 8002 pass1234\ntype 8003 newpass9\n"
        "type 8004 newpass9\npress 1\ntype 8001 newpass9\npress 1\n");
  EXPECT_EQ(Run(), platform::kIdOk);
  EXPECT_THAT(services_->Reports(),
              ElementsAre(T(FormatEventText(text::kChangedOwner, 'e', "SN-E", "Owner")),
                          T(FormatEventText(text::kOpenedOwner, 'e', "SN-E", "Owner"))));
  EXPECT_THAT(services_->Boxes(), IsEmpty()) << "a successful change shows no box";
  const auto t = services_->Transcript();
  const auto disabled = std::find(t.begin(), t.end(), "8001 enable 8000 0");
  const auto opened = std::find(t.begin(), t.end(), "dialog 8002 open");
  const auto closed = std::find(t.begin(), t.end(), "dialog 8002 end 1");
  const auto enabled = std::find(t.begin(), t.end(), "8001 enable 8000 1");
  EXPECT_TRUE(disabled < opened && opened < closed && closed < enabled);
  EXPECT_EQ(sim_->Value("drive e", "password"), "newpass9");
}

// Disk B put in at the letter while the dialog is up: the disk is not
// unlocked (its password is not even tried), the swap is reported and logged,
// and the dialog ends as a refusal.
TEST_F(InputDlgTest, AnotherDiskAtTheLetterIsRefused) {
  Start(kDiskE + "[spare e]\nvid = 0951\npid = 1666\nserial = SN-B\nclassified = 1\nowner = B\n"
                 "password = bbbb1234\n",
        "call swap\ntype 8001 bbbb1234\ncheck 8006\npress 1\n");
  services_->ui->SetHook("swap", [this] { sim_->Swap('e'); });
  EXPECT_EQ(Run(), platform::kIdCancel);
  const std::string swapped = T(FormatEventText(text::kDiskSwapped, 'e', "SN-E", "SN-B"));
  EXPECT_THAT(services_->Reports(), ElementsAre(swapped));
  EXPECT_THAT(services_->Logs(), ElementsAre(swapped));
  EXPECT_THAT(services_->Boxes(), ElementsAre(FailBox(swapped.c_str())));
  EXPECT_THAT(services_->Actions(), IsEmpty()) << "neither dismounted nor formatted";
  EXPECT_THAT(sim_->Calls(), ElementsAre("VX_IsDIZaraz e -> 1", "VX_GetUDiskInfoByDriver e -> 0"));
  EXPECT_EQ(sim_->Value("drive e", "opened"), "");
}

// A swap seen by the change-password dialog ends the password dialog too:
// both were opened for the first disk. Left open, it would take the other
// disk's password and tell the swap a second time.
TEST_F(InputDlgTest, SwapSeenWhileChangingThePasswordEndsTheDialog) {
  Start(kDiskE + "[spare e]\nvid = 0951\npid = 1666\nserial = SN-B\nclassified = 1\nowner = B\n"
                 "password = bbbb1234\n",
        "press 8000\ndialog 8002\ncall swap\ntype 8002 bbbb1234\ntype 8003 newpass9\n"
        "type 8004 newpass9\npress 1\ntype 8001 bbbb1234\npress 1\n");
  services_->ui->SetHook("swap", [this] { sim_->Swap('e'); });
  EXPECT_EQ(Run(), platform::kIdCancel);
  EXPECT_THAT(services_->Reports(),
              ElementsAre(T(FormatEventText(text::kDiskSwapped, 'e', "SN-E", "SN-B"))));
  EXPECT_EQ(sim_->Value("drive e", "password"), "bbbb1234");
}

// The same disk pulled and put back is still the disk that was checked.
TEST_F(InputDlgTest, TheSameDiskPutBackIsOpened) {
  Start(kDiskE + "[spare e]\nvid = 0951\npid = 1666\nserial = SN-B\nclassified = 1\n",
        "call swap\ncall swap\ntype 8001 pass1234\npress 1\n");
  services_->ui->SetHook("swap", [this] { sim_->Swap('e'); });
  EXPECT_EQ(Run(), platform::kIdOk);
  EXPECT_EQ(sim_->Value("drive e", "opened"), "1");
}

// Ids that cannot be read: nothing is tried; the user may try again.
TEST_F(InputDlgTest, UnreadableIdsAreShownAsNoDiskAndNothingIsTried) {
  Start(kDiskE + "info = 4\n", "type 8001 pass1234\npress 1\nclose\n");
  EXPECT_EQ(Run(), platform::kIdCancel);
  EXPECT_THAT(services_->Boxes(), ElementsAre(FailBox(text::kNoClassifiedDisk)));
  EXPECT_THAT(services_->Reports(), IsEmpty());
  EXPECT_EQ(sim_->Calls().back(), "VX_GetUDiskInfoByDriver e -> 4");
}

// With the host directory unknown the program would be looked for by its bare
// name: it is not started, and the operation log says why.
TEST_F(InputDlgTest, FormatProgramNeedsTheHostDirectory) {
  Start(kDiskE, "type 8001 pass1234\ncheck 8006\npress 1\n");
  config::SetHostDirectoryOverride(std::string());
  EXPECT_EQ(Run(), platform::kIdOk);
  config::SetHostDirectoryOverride(host_.dir());
  EXPECT_THAT(services_->Actions(), ElementsAre("dismount e"));
  EXPECT_THAT(services_->Logs(), ElementsAre("Error: UsbDiskFormat.exe not started: the host directory is unknown"));
}

}  // namespace
}  // namespace torvane::admission
