// Whole scan passes through the stand-in library and the scripted UI.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "admission/event_text.h"
#include "admission/kernel_names.h"
#include "admission/scan_pass.h"
#include "admission/texts.h"
#include "platform/atom.h"
#include "platform/named_flag.h"
#include "support/admission_fixture.h"

namespace torvane::admission {
namespace {

using test::BoxLine;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char kUnit[] = "00112233445566778899AABBCCDDEEFF";

std::string Classified(char letter, const std::string& serial, const std::string& extra = "") {
  return std::string("[drive ") + letter + "]\nvid = 0951\npid = 1666\nserial = " + serial +
         "\nclassified = 1\nowner = Owner\npassword = pass1234\n" + extra;
}
const std::string kOrdinaryG = "[drive g]\nvid = 1234\npid = 5678\nserial = PLAIN-G\nclassified = 0\n";
const std::string kUnlock = "dialog 8001\ntype 8001 pass1234\npress 1\n";

std::string T(const EventText& t) { return std::string(t.view()); }

class ScanPassTest : public test::AdmissionTest {
 protected:
  void Pass() { RunScanPass(*services_, *state_, nullptr); }
  DriveSlot& Slot(char letter) { return state_->slots[static_cast<std::size_t>(letter - 'a')]; }
};

TEST_F(ScanPassTest, OrdinaryDiskOnlyReachesTheLogWhenGenericUDiskIsOff) {
  Start(kOrdinaryG, "");
  Pass();
  const std::string text = T(FormatEventText(text::kOrdinaryInserted, 'g', "PLAIN-G", "1234", "5678"));
  EXPECT_THAT(services_->Logs(), ElementsAre(text));
  EXPECT_THAT(services_->Reports(), IsEmpty());
  EXPECT_EQ(Slot('g').handled.load(), 1);
  EXPECT_EQ(Slot('g').serial, "PLAIN-G");
  EXPECT_EQ(Slot('g').lastHandled, 0) << "an ordinary disk leaves the time alone";
  for (const auto& call : sim_->Calls()) EXPECT_EQ(call.find("VX_OpenUDisk"), std::string::npos);
  Pass();  // handled: nothing again
  EXPECT_EQ(services_->Logs().size(), 1u);
}

TEST_F(ScanPassTest, OrdinaryDiskIsOpenedAndReportedWhenGenericUDiskIsOn) {
  Configure({.genericUDisk = 1});
  Start(kOrdinaryG + "open_udisk = 0\n", "");
  Pass();
  const std::string text = T(FormatEventText(text::kOrdinaryInserted, 'g', "PLAIN-G", "1234", "5678"));
  EXPECT_THAT(services_->Logs(), ElementsAre(text, text::kOpenOrdinaryFailed));
  EXPECT_THAT(services_->Reports(), ElementsAre(text));
  EXPECT_THAT(services_->Boxes(), IsEmpty());
  EXPECT_EQ(services_->badEventTypes.load(), 0);
}

TEST_F(ScanPassTest, UnregisteredSuiteLeavesClassifiedDisksAlone) {
  Configure({.reg = "0"});
  Start(Classified('e', "SEC-E") + kOrdinaryG, kUnlock);
  Pass();
  EXPECT_THAT(services_->Reports(), IsEmpty());
  EXPECT_EQ(Slot('e').handled.load(), 0) << "looked at again by every later pass";
  EXPECT_EQ(Slot('g').handled.load(), 1);
  EXPECT_EQ(services_->Logs().size(), 1u);
}

TEST_F(ScanPassTest, RegistrationFailureIsReportedAndShownOnce) {
  Start(Classified('e', "SEC-E", "reg = 7\n"), kUnlock);
  Pass();
  const std::string text = T(FormatEventText(text::kRegistrationFailed, 'e', "SEC-E", 7));
  EXPECT_THAT(services_->Reports(), ElementsAre(text));
  EXPECT_THAT(services_->Boxes(), ElementsAre(BoxLine(0, text::kCaptionFailure, 0x30, text)));
  EXPECT_EQ(Slot('e').handled.load(), 1);
  Pass();
  EXPECT_EQ(services_->Reports().size(), 1u);
}

TEST_F(ScanPassTest, GeneralPolicyAdmitsWithoutTheAuthorizationList) {
  Configure({.general = 1, .ufileAudit = 1});
  Start(Classified('e', "SEC-E", "general = 1\n"), kUnlock);
  Pass();
  EXPECT_THAT(services_->Reports(),
              ElementsAre(T(FormatEventText(text::kClassifiedInserted, 'e', "SEC-E", "Owner")),
                          T(FormatEventText(text::kGeneralPolicy, 'e', "SEC-E")),
                          T(FormatEventText(text::kOpenedOwner, 'e', "SEC-E", "Owner"))));
  EXPECT_EQ(sim_->Value("drive e", "opened"), "1");
  EXPECT_EQ(sim_->Value("drive e", "access"), "0");
  for (const auto& call : sim_->Calls()) EXPECT_EQ(call.find("AuthList"), std::string::npos) << call;
  EXPECT_THAT(services_->Audits(), ElementsAre("stop all", "start e"));
  EXPECT_EQ(state_->auditLevel.load(), 1);
  EXPECT_EQ(services_->Transcript().back(), "dialog 8001 end 1");
}

TEST_F(ScanPassTest, RestrictedPolicyAdmitsAndConsumesOneUse) {
  Configure({.unitId = kUnit, .fieldId = "0x10"});
  Start(Classified('e', "SEC-E", std::string("auth = ") + kUnit + " 1 2 -5 0x30\n"), kUnlock);
  services_->now = 5000;
  Pass();
  const std::string consumed = T(FormatEventText(text::kUseConsumed, 'e', "SEC-E"));
  EXPECT_THAT(services_->Reports(),
              ElementsAre(T(FormatEventText(text::kClassifiedInserted, 'e', "SEC-E", "Owner")),
                          T(FormatEventText(text::kRestrictedPolicy, 'e', "SEC-E")),
                          T(FormatEventText(text::kOpenedOwner, 'e', "SEC-E", "Owner")), consumed));
  EXPECT_EQ(sim_->Value("drive e", "access"), "-5") << "accessValue is sign-extended";
  EXPECT_EQ(sim_->Value("drive e", "auth"), std::string(kUnit) + " 1 1 -5 0x00000030");
  EXPECT_THAT(services_->Boxes(), ElementsAre(BoxLine(0, text::kCaptionNotice, 0x40, consumed)));
  EXPECT_THAT(services_->Audits(), IsEmpty()) << "UfileAudit 0 and remembered 0";
  EXPECT_EQ(Slot('e').lastHandled, 5000);
}

TEST_F(ScanPassTest, CancelledDialogConsumesNothingAndWatchesNothing) {
  Configure({.ufileAudit = 1, .unitId = kUnit});
  Start(Classified('e', "SEC-E", std::string("auth = ") + kUnit + " 1 2 0 0\n"), "dialog 8001\nclose\n");
  Pass();
  EXPECT_EQ(services_->Reports().size(), 2u);  // inserted, restricted policy
  EXPECT_EQ(sim_->Value("drive e", "saved"), "");
  EXPECT_THAT(services_->Audits(), IsEmpty());
  EXPECT_EQ(Slot('e').handled.load(), 1);
}

TEST_F(ScanPassTest, ReinsertWithinTwentySecondsIsIgnored) {
  Configure({.general = 1});
  Start(Classified('e', "SEC-E", "general = 1\n"), kUnlock + kUnlock);
  services_->now = 1000;
  Pass();
  ASSERT_EQ(services_->Reports().size(), 3u);
  Slot('e').handled = 0;  // removed
  services_->now = 1019;
  Pass();
  EXPECT_EQ(services_->Reports().size(), 3u);
  EXPECT_EQ(Slot('e').handled.load(), 1) << "counts as handled until removed again";
  Slot('e').handled = 0;
  services_->now = 1020;
  Pass();
  EXPECT_EQ(services_->Reports().size(), 6u) << "twenty seconds later: a new admission";
  EXPECT_EQ(sim_->Value("drive e", "opened"), "2");
}

TEST_F(ScanPassTest, AnotherDiskAtTheSameLetterIsNeverAReinsert) {
  Configure({.general = 1});
  Start(Classified('e', "SEC-E", "general = 1\n"), kUnlock);
  services_->now = 1000;
  Pass();
  Slot('e').handled = 0;
  Slot('e').serial = "OTHER";  // the disk last handled here was another one
  Pass();
  EXPECT_EQ(services_->Reports().size(), 5u);  // inserted + policy again, dialog cancelled
  EXPECT_EQ(Slot('e').serial, "SEC-E");
}

TEST_F(ScanPassTest, OpenPasswordDialogElsewhereEndsThePass) {
  Configure({.general = 1});
  Start(Classified('e', "SEC-E", "general = 1\n") + Classified('f', "SEC-F", "general = 1\n"), kUnlock);
  auto held = platform::NamedFlag::Create(kPasswordDialogFlag);
  ASSERT_TRUE(held.held());
  Pass();
  EXPECT_THAT(services_->Reports(),
              ElementsAre(T(FormatEventText(text::kClassifiedInserted, 'e', "SEC-E", "Owner"))));
  EXPECT_EQ(Slot('e').handled.load(), 1);
  EXPECT_EQ(Slot('f').handled.load(), 0) << "later drives wait for another pass";
  held.Release();
  Pass();
  EXPECT_EQ(services_->Reports().size(), 4u) << "f admitted, e still handled";
}

TEST_F(ScanPassTest, RunningPassOrSuspendAtomMeansNoPass) {
  Start(kOrdinaryG, "");
  {
    auto progress = platform::NamedFlag::Create(kProgressFlag);
    ASSERT_TRUE(progress.held());
    Pass();
  }
  ASSERT_TRUE(platform::AddGlobalAtom(kSuspendAtom));
  Pass();
  platform::DeleteGlobalAtom(kSuspendAtom);
  EXPECT_THAT(services_->Logs(), IsEmpty());
  EXPECT_THAT(sim_->Calls(), IsEmpty());
  Pass();
  EXPECT_EQ(services_->Logs().size(), 1u);
}

TEST_F(ScanPassTest, DrivesAreTakenInOrderAndIdsFailuresAreSkipped) {
  Start("[drive h]\nvid=1\npid=2\nserial=H\n[drive c]\nvid=1\npid=2\nserial=C\ninfo=4\n" + kOrdinaryG, "");
  Pass();
  ASSERT_EQ(services_->Logs().size(), 2u);
  EXPECT_NE(services_->Logs()[0].find("PLAIN-G"), std::string::npos);
  EXPECT_EQ(Slot('c').handled.load(), 0) << "looked at again next pass";
  EXPECT_EQ(Slot('h').handled.load(), 1);
}

TEST_F(ScanPassTest, AuditLevelChangesBetweenAdmissions) {
  Configure({.general = 1, .ufileAudit = 2});
  Start(Classified('e', "SEC-E", "general = 1\n") + Classified('f', "SEC-F", "general = 1\n") +
            Classified('h', "SEC-H", "general = 1\n"),
        kUnlock + kUnlock + kUnlock);
  state_->auditLevel = 2;  // remembered from the window's start
  services_->now = 100;
  Pass();
  EXPECT_THAT(services_->Audits(), ElementsAre("start e", "start f", "start h"));
  for (char c : {'e', 'f', 'h'}) Slot(c).handled = 0;
  Configure({.general = 1, .ufileAudit = 0});
  services_->now = 200;
  services_->ui = platform::ScriptedUi::FromText(kUnlock, nullptr);
  Pass();
  EXPECT_THAT(services_->Audits(), ElementsAre("start e", "start f", "start h", "stop all"));
  EXPECT_EQ(state_->auditLevel.load(), 0);
}

// Disk A is checked and authorized at e:, then pulled while its password
// dialog is up, and disk B (authorized nowhere here) is put in at e: and
// given B's own password. B must not be opened with A's accessValue, A's
// list must not be stored onto B, and nothing may say that A was opened.
TEST_F(ScanPassTest, DiskSwappedWhileTheDialogIsUpIsRefused) {
  Configure({.ufileAudit = 1, .unitId = kUnit});
  const std::string diskB =
      "[spare e]\nvid = 0951\npid = 1666\nserial = SEC-B\nclassified = 1\nowner = B\n"
      "password = bbbb1234\n";
  Start(Classified('e', "SEC-A", std::string("auth = ") + kUnit + " 1 3 9 0\n") + diskB + kOrdinaryG,
        "dialog 8001\ncall swap\ntype 8001 bbbb1234\npress 1\n");
  services_->ui->SetHook("swap", [this] { sim_->Swap('e'); });
  Pass();
  const std::string swapped = T(FormatEventText(text::kDiskSwapped, 'e', "SEC-A", "SEC-B"));
  EXPECT_THAT(services_->Reports(),
              ElementsAre(T(FormatEventText(text::kClassifiedInserted, 'e', "SEC-A", "Owner")),
                          T(FormatEventText(text::kRestrictedPolicy, 'e', "SEC-A")), swapped));
  EXPECT_EQ(sim_->Value("drive e", "opened"), "") << "B is not opened";
  EXPECT_EQ(sim_->Value("drive e", "auth"), "") << "A's list is not stored onto B";
  EXPECT_EQ(sim_->Value("spare e", "auth"), std::string(kUnit) + " 1 3 9 0") << "A keeps its uses";
  EXPECT_THAT(services_->Audits(), IsEmpty());
  EXPECT_THAT(services_->Logs(), ::testing::Contains(swapped));
  EXPECT_EQ(Slot('e').handled.load(), 1) << "handled until removed, as any refusal";
  EXPECT_EQ(Slot('g').handled.load(), 1) << "the pass goes on";
}

// The disk swapped right after it was opened, before its use is consumed:
// the list is not stored onto the new disk and no watch starts.
TEST_F(ScanPassTest, DiskSwappedAfterTheOpenGetsNoListAndNoWatch) {
  Configure({.ufileAudit = 1, .unitId = kUnit});
  Start(Classified('e', "SEC-A", std::string("auth = ") + kUnit + " 1 3 9 0\n") +
            "[spare e]\nvid = 0951\npid = 1666\nserial = SEC-B\nclassified = 1\n",
        kUnlock);
  services_->onDismount = [this](char letter) { sim_->Swap(letter); };
  Pass();
  const std::string swapped = T(FormatEventText(text::kDiskSwapped, 'e', "SEC-A", "SEC-B"));
  EXPECT_EQ(services_->Reports().back(), swapped);
  EXPECT_THAT(services_->Boxes(), ElementsAre(BoxLine(0, text::kCaptionFailure, 0x30, swapped)));
  EXPECT_EQ(sim_->Value("drive e", "saved"), "");
  EXPECT_EQ(sim_->Value("spare e", "saved"), "");
  EXPECT_THAT(services_->Audits(), IsEmpty());
}

// Ids from the disk go to the operation log with their control bytes made
// visible (a line feed in a serial would forge a log line); the report keeps
// the bytes as the disk gave them.
TEST_F(ScanPassTest, ControlBytesFromTheDiskAreNotWrittenToTheLog) {
  Configure({.genericUDisk = 1});
  Start("[drive g]\nvid = 12\\x7F4\npid = 5678\nserial = A\\x0D\\x0A2026-01-01 00:00:00 forged\\x1B\n"
        "classified = 0\n",
        "");
  Pass();
  const std::string raw = "A\r\n2026-01-01 00:00:00 forged\x1b";
  EXPECT_THAT(services_->Reports(), ElementsAre(T(FormatEventText(text::kOrdinaryInserted, 'g', raw.c_str(), "12\x7f" "4", "5678"))));
  EXPECT_THAT(services_->Logs(),
              ElementsAre(T(FormatEventText(text::kOrdinaryInserted, 'g', "A??2026-01-01 00:00:00 forged?", "12?4", "5678"))));
}

}  // namespace
}  // namespace torvane::admission
