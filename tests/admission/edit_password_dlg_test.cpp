// The change-password rules and dialog.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "admission/edit_password_dlg.h"
#include "admission/event_text.h"
#include "admission/texts.h"
#include "support/admission_fixture.h"

namespace torvane::admission {
namespace {

using test::BoxLine;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(PasswordRules, AreAppliedInOrder) {
  EXPECT_EQ(CheckNewPassword("old", "short", "other"), PasswordRule::kMismatch)
      << "a mismatch hides every other fault";
  EXPECT_EQ(CheckNewPassword("", "", ""), PasswordRule::kSameAsOld);
  EXPECT_EQ(CheckNewPassword("old", "", ""), PasswordRule::kTooShort);
  EXPECT_EQ(CheckNewPassword("x", "abc1234", "abc1234"), PasswordRule::kTooShort);
  EXPECT_EQ(CheckNewPassword("x", "abcd1234", "abcd1234x"), PasswordRule::kMismatch);
  EXPECT_EQ(CheckNewPassword("x", "A1......", "A1......"), PasswordRule::kOk);
  EXPECT_EQ(CheckNewPassword("x", " z 9 !  ", " z 9 !  "), PasswordRule::kOk);
  EXPECT_EQ(CheckNewPassword("x", "abcdefgh", "abcdefgh"), PasswordRule::kNeedDigitAndLetter);
  EXPECT_EQ(CheckNewPassword("x", "12345678", "12345678"), PasswordRule::kNeedDigitAndLetter);
  // Four double-byte characters: 8 bytes, but neither digit nor letter.
  EXPECT_EQ(CheckNewPassword("x", "\xd6\xd0\xce\xc4\xd6\xd0\xce\xc4", "\xd6\xd0\xce\xc4\xd6\xd0\xce\xc4"),
            PasswordRule::kNeedDigitAndLetter);
  EXPECT_EQ(CheckNewPassword("x", "abcdefg1", "abcdefg1"), PasswordRule::kOk);
}

// GBK trail bytes can lie in the ASCII letter range: 0x81 0x41 and 0xB0 0x5A
// are each one character, not a byte and a letter.
TEST(PasswordRules, TrailBytesOfDoubleByteCharactersAreNotLetters) {
  const std::string noLetter = "\x81\x41\xb0\x5a\xd6\xd0""1";  // 3 characters and a digit
  const std::string padded = noLetter + "\xce\x61";          // 8+ bytes, still no letter
  EXPECT_EQ(CheckNewPassword("x", padded, padded), PasswordRule::kNeedDigitAndLetter);
  // A real letter after the double-byte characters still counts.
  const std::string withLetter = padded + "q";
  EXPECT_EQ(CheckNewPassword("x", withLetter, withLetter), PasswordRule::kOk);
  // A lone lead byte at the very end is skipped with nothing after it.
  const std::string lone = "abcdef1\x81";
  EXPECT_EQ(CheckNewPassword("x", lone, lone), PasswordRule::kOk);
}

const std::string kDiskE =
    "[drive e]\nvid = 0951\npid = 1666\nserial = SN-E\nclassified = 1\nowner = Owner\n"
    "password = pass1234\n";

std::string T(const EventText& t) { return std::string(t.view()); }

class EditPasswordTest : public test::AdmissionTest {
 protected:
  int Run(char letter = 'e') {
    DiskIds ids;
    std::strcpy(ids.vid, "0951");
    std::strcpy(ids.pid, "1666");
    std::strcpy(ids.serial, "SN-E");
    CEditPasswordDlg dialog(*services_, letter, ids);
    return services_->Ui().RunModal(CEditPasswordDlg::kTemplate, dialog);
  }
  static std::string Box(const char* text, unsigned icon) {
    return BoxLine(8002, text::kCaptionFailure, icon, text);
  }
  static std::string Fill(const std::string& o, const std::string& n, const std::string& c) {
    return "type 8002 " + o + "\ntype 8003 " + n + "\ntype 8004 " + c + "\npress 1\n";
  }
};

TEST_F(EditPasswordTest, EachRuleHasItsBoxAndIconAndTheDialogStaysOpen) {
  Start(kDiskE, Fill("pass1234", "abc", "abd") + Fill("same1234", "same1234", "same1234") +
                    Fill("pass1234", "ab1", "ab1") + Fill("pass1234", "abcdefgh", "abcdefgh") +
                    "close\n");
  EXPECT_EQ(Run(), platform::kIdCancel);
  EXPECT_THAT(services_->Boxes(),
              ElementsAre(Box(text::kNewMismatch, 0x10), Box(text::kSameAsOld, 0x10),
                          Box(text::kTooShort, 0x30), Box(text::kNeedDigitAndLetter, 0x30)));
  EXPECT_THAT(sim_->Calls(), IsEmpty()) << "the library is asked only once the rules pass";
  EXPECT_THAT(services_->Reports(), IsEmpty());
}

TEST_F(EditPasswordTest, SuccessfulChangeIsReportedWithoutABox) {
  Start(kDiskE, Fill("pass1234", "new1pass", "new1pass"));
  EXPECT_EQ(Run(), platform::kIdOk);
  EXPECT_THAT(services_->Reports(), ElementsAre(T(FormatEventText(text::kChangedOwner, 'e', "SN-E", "Owner"))));
  EXPECT_THAT(services_->Boxes(), IsEmpty());
  EXPECT_THAT(sim_->Calls(), ElementsAre("VX_IsDIZaraz e -> 1", "VX_GetUDiskInfoByDriver e -> 0",
                                         "VX_LoadRegInfo -> 0",
                                         "VX_ChangeUserPasswd pass1234 new1pass -> 0"));
  EXPECT_EQ(sim_->Value("drive e", "password"), "new1pass");
}

TEST_F(EditPasswordTest, RefusedChangeShowsTheBoxThenReports) {
  Start(kDiskE + "reg = 4\n", Fill("wrong123", "new1pass", "new1pass") + "close\n");
  EXPECT_EQ(Run(), platform::kIdCancel);
  const std::string event = T(FormatEventText(text::kChangeFailedCode, 'e', "SN-E", 4));
  EXPECT_EQ(event.back(), ' ') << "the failure texts end in a blank";
  const auto seq = services_->Sequence();
  const auto box = std::find(seq.begin(), seq.end(), Box(text::kChangeFailed, 0x30));
  const auto report = std::find(seq.begin(), seq.end(), "report " + event);
  ASSERT_NE(report, seq.end());
  EXPECT_LT(box, report);
  EXPECT_EQ(sim_->Value("drive e", "password"), "pass1234");
}

TEST_F(EditPasswordTest, PulledDiskIsFoundAfterTheLocalRules) {
  Start(kDiskE, Fill("a", "b", "c") + Fill("pass1234", "new1pass", "new1pass") + "close\n");
  EXPECT_EQ(Run('h'), platform::kIdCancel);
  EXPECT_THAT(services_->Boxes(),
              ElementsAre(Box(text::kNewMismatch, 0x10), Box(text::kNoClassifiedDisk, 0x30)));
  EXPECT_THAT(sim_->Calls(), ElementsAre("VX_IsDIZaraz h -> 0"));
}

// Disk B put in at the letter while the dialog is up: its password is not
// changed, and the swap is reported, logged and shown as the unlock path
// does it.
TEST_F(EditPasswordTest, AnotherDiskAtTheLetterIsNotChanged) {
  Start(kDiskE + "[spare e]\nvid = 0951\npid = 1666\nserial = SN-B\nclassified = 1\nowner = B\n"
                 "password = bbbb1234\n",
        "call swap\n" + Fill("bbbb1234", "new1pass", "new1pass"));
  services_->ui->SetHook("swap", [this] { sim_->Swap('e'); });
  EXPECT_EQ(Run(), platform::kIdCancel);
  const std::string swapped = T(FormatEventText(text::kDiskSwapped, 'e', "SN-E", "SN-B"));
  EXPECT_THAT(services_->Reports(), ElementsAre(swapped));
  EXPECT_THAT(services_->Logs(), ElementsAre(swapped));
  EXPECT_THAT(services_->Boxes(), ElementsAre(Box(swapped.c_str(), 0x30)));
  EXPECT_THAT(sim_->Calls(), ElementsAre("VX_IsDIZaraz e -> 1", "VX_GetUDiskInfoByDriver e -> 0"));
  EXPECT_EQ(sim_->Value("drive e", "password"), "bbbb1234");
}

}  // namespace
}  // namespace torvane::admission
