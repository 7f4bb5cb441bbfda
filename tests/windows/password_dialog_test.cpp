// The password and change-password dialogs as real windows, driven from the
// test's thread the way a user would, against the stand-in secure-disk
// library and a stand-in formatting program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "admission/disk_ids.h"
#include "admission/input_dlg.h"
#include "admission/selvik_library.h"
#include "config/host_directory.h"
#include "platform/codepage.h"
#include "platform/native_ui.h"
#include "platform/process.h"
#include "platform/volume.h"
#include "screens.h"
#include "admission/support/admission_env.h"
#include "support/temp_dir.h"
#include "tools/uidriver/ui_driver.h"

namespace torvane::test {
namespace {

using admission::CInputDlg;
using uidriver::Driver;
using uidriver::MessageBoxSeen;

// The admission path's calls out, with the real window system, dismount and
// program start; reports and log lines are kept for the test.
class RealServices final : public admission::AdmissionServices {
 public:
  RealServices() : ui_(platform::CreateNativeUi(nullptr)), disk_(LoadStandIn()) {}

  void Report(std::string_view text, std::int32_t) override { Add(reports_, text); }
  void Log(std::string_view text) override { Add(logs_, text); }
  void StartDriveAudit(char) override {}
  void StopAllAudits() override {}
  void StopDriveAudit(char) override {}
  admission::SecureDisk* Disk() override { return disk_.get(); }
  platform::Ui& Ui() override { return *ui_; }
  std::int64_t Now() override { return 1'700'000'000; }
  bool DismountVolume(char letter) override { return platform::DismountVolume(letter); }
  void StartProgram(const std::string& commandLine) override { platform::StartProgram(commandLine); }
  std::string LogicalDriveStrings() override { return {}; }
  bool VolumeAnswers(char letter) override { return platform::VolumeAnswers(letter); }
  bool StartThread(std::function<void()>) override { return false; }

  std::vector<std::wstring> Reports() const { return Get(reports_); }
  std::vector<std::wstring> Logs() const { return Get(logs_); }

 private:
  void Add(std::vector<std::string>& to, std::string_view text) {
    std::lock_guard lock(mu_);
    to.emplace_back(text);
  }
  std::vector<std::wstring> Get(const std::vector<std::string>& from) const {
    std::lock_guard lock(mu_);
    std::vector<std::wstring> out;
    for (const auto& t : from) {
      const std::u16string w = platform::AnsiToUtf16(t);
      out.emplace_back(w.begin(), w.end());
    }
    return out;
  }
  mutable std::mutex mu_;
  std::vector<std::string> reports_, logs_;
  std::unique_ptr<platform::Ui> ui_;
  std::unique_ptr<admission::SecureDisk> disk_;
};

const std::string kDisk =
    "[drive e]\nvid = 0951\npid = 1666\nserial = SN-E\nclassified = 1\nowner = Owner\n"
    "password = abc12345\n";

class PasswordDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    config::SetHostDirectoryOverride(host_.dir());
    std::filesystem::copy_file(TORVANE_FORMAT_STANDIN, host_.path() / "UsbDiskFormat.exe");
  }
  void TearDown() override { config::SetHostDirectoryOverride(std::nullopt); }

  void Start(const std::string& disks) {
    sim_ = std::make_unique<SimulatedDisks>(disks);
    services_ = std::make_unique<RealServices>();
    ASSERT_NE(services_->Disk(), nullptr);
  }

  // Opens the password dialog for drive e on a thread of its own, as a scan
  // pass does, and waits until it is on the screen.
  HWND Open() {
    admission::DiskIds ids;
    std::snprintf(ids.vid, sizeof ids.vid, "0951");
    std::snprintf(ids.pid, sizeof ids.pid, "1666");
    std::snprintf(ids.serial, sizeof ids.serial, "SN-E");
    dialog_ = std::make_unique<CInputDlg>(*services_, 'e', ids, 0);
    result_ = std::async(std::launch::async, [this] { return services_->Ui().RunModal(8001, *dialog_); });
    HWND d = driver_.WaitDialog(L"请输入口令", {8001, 8006, 1, 2, 8000});
    if (!d && result_.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
      ADD_FAILURE() << "the dialog ended at once with " << result_.get();
    return d;
  }
  int Result() {
    if (result_.wait_for(std::chrono::seconds(10)) != std::future_status::ready) return -100;
    return result_.get();
  }

  // Waits for the box owned by `owner`, checks caption and icon, presses OK
  // and gives back its text.
  std::wstring Box(HWND owner, unsigned icon, const char* screenshot = nullptr) {
    MessageBoxSeen box;
    if (!driver_.WaitBox(owner, &box)) return L"(no box)";
    EXPECT_EQ(box.caption, L"失败");
    EXPECT_EQ(box.icon, icon);
    if (screenshot) {
      EXPECT_TRUE(Screenshot(box.window, screenshot));
    }
    Driver::Answer(box);
    EXPECT_TRUE(driver_.WaitGone(box.window, 5000));
    return box.text;
  }

  bool Formatted() const { return std::filesystem::exists(host_.path() / "formatted.txt"); }

  TempDir host_;
  std::unique_ptr<SimulatedDisks> sim_;
  std::unique_ptr<RealServices> services_;
  std::unique_ptr<CInputDlg> dialog_;
  std::future<int> result_;
  // Generous: the first window of a fresh prefix waits for its font cache.
  Driver driver_{::GetCurrentProcessId(), 30000};
};

TEST_F(PasswordDialog, OpensCentredTopmostWithFocusInThePasswordBox) {
  Start(kDisk);
  HWND d = Open();
  ASSERT_NE(d, nullptr);
  const auto p = Driver::Place(d);
  const int w = p.rect.right - p.rect.left, h = p.rect.bottom - p.rect.top;
  EXPECT_EQ(p.rect.left, (::GetSystemMetrics(SM_CXSCREEN) - w) / 2);
  EXPECT_EQ(p.rect.top, (::GetSystemMetrics(SM_CYSCREEN) - h) / 2);
  EXPECT_TRUE(p.topmost);
  EXPECT_TRUE(p.visible);
  EXPECT_EQ(Driver::FocusId(d), 8001);
  EXPECT_EQ(Driver::Checked(d, 8006), BST_UNCHECKED);
  EXPECT_EQ(Driver::Text(d, 8006), L"格式化优盘");
  Driver::Close(d);  // the close box cancels and reports nothing
  EXPECT_EQ(Result(), IDCANCEL);
  EXPECT_THAT(services_->Reports(), ::testing::IsEmpty());
}

TEST_F(PasswordDialog, WrongPasswordThenRightOneUnlocksAndStartsTheFormatter) {
  Start(kDisk);
  HWND d = Open();
  ASSERT_NE(d, nullptr);
  Driver::Type(d, 8001, L"wrong");
  Driver::Check(d, 8006, true);
  EXPECT_TRUE(Screenshot(d, "8001"));
  Driver::Click(d, IDOK);
  EXPECT_EQ(Box(d, MB_ICONEXCLAMATION, "8001-wrong-password"), L"口令错误,请重新输入!");
  EXPECT_TRUE(::IsWindow(d)) << "a wrong password leaves the dialog open";
  EXPECT_EQ(Driver::Text(d, 8001), L"wrong") << "the typed text stays for the user to correct";
  EXPECT_FALSE(Formatted()) << "nothing is started before the disk is open";

  Driver::Type(d, 8001, L"abc12345");
  Driver::Key(d, VK_RETURN);  // Enter presses OK
  EXPECT_EQ(Result(), IDOK);
  EXPECT_THAT(services_->Reports(),
              ::testing::ElementsAre(L"打开涉密优盘(盘符:e，序列号:SN-E，责任人:Owner)失败! 原因密码错误。",
                                     L"打开涉密优盘(盘符:e，序列号:SN-E，责任人:Owner)成功。"));
  EXPECT_EQ(sim_->Value("drive e", "opened"), "1");
  for (int i = 0; i < 100 && !Formatted(); ++i) ::Sleep(100);
  EXPECT_TRUE(Formatted()) << "UsbDiskFormat.exe from the host directory";
}

TEST_F(PasswordDialog, TooManyTriesIsShownOnEveryFurtherTryAndEscapeCancels) {
  Start(kDisk + "try_limit = 1\n");
  HWND d = Open();
  ASSERT_NE(d, nullptr);
  Driver::Type(d, 8001, L"bad1");
  Driver::Click(d, IDOK);
  EXPECT_EQ(Box(d, MB_ICONEXCLAMATION), L"口令错误,请重新输入!");
  for (int i = 0; i < 2; ++i) {
    Driver::Type(d, 8001, L"abc12345");
    Driver::Click(d, IDOK);
    EXPECT_EQ(Box(d, MB_ICONEXCLAMATION), L"用户口令尝试次数过多!");
  }
  Driver::Key(d, VK_ESCAPE);
  EXPECT_EQ(Result(), IDCANCEL);
  const auto reports = services_->Reports();
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_EQ(reports[2], L"打开涉密优盘(盘符:e，序列号:SN-E，责任人:Owner)失败! 原因密码错误次数过多。");
  EXPECT_EQ(sim_->Value("drive e", "opened"), "");
}

TEST_F(PasswordDialog, OpenFailureIsLoggedReportedAndShown) {
  Start(kDisk + "open_sec = 5\n");
  HWND d = Open();
  ASSERT_NE(d, nullptr);
  Driver::Type(d, 8001, L"abc12345");
  Driver::Check(d, 8006, true);
  Driver::Click(d, IDOK);
  EXPECT_EQ(Box(d, MB_ICONEXCLAMATION), L"打开涉密优盘失败!");
  EXPECT_THAT(services_->Logs(), ::testing::ElementsAre(L"口令错误 VX_OpenSecDisk code: 5"));
  EXPECT_THAT(services_->Reports(),
              ::testing::ElementsAre(L"打开涉密优盘(盘符:e，序列号:SN-E，责任人:Owner)失败!"));
  Driver::Click(d, IDCANCEL);
  EXPECT_EQ(Result(), IDCANCEL);
  EXPECT_FALSE(Formatted());
}

TEST_F(PasswordDialog, ChangePasswordAppliesItsRulesInOrderThenChanges) {
  Start(kDisk);
  HWND d = Open();
  ASSERT_NE(d, nullptr);
  Driver::Click(d, 8000);
  HWND c = driver_.WaitDialog(L"口令修改", {8002, 8003, 8004, 1, 2});
  ASSERT_NE(c, nullptr);
  EXPECT_FALSE(Driver::Enabled(d, 8000)) << "disabled while the change dialog is up";
  EXPECT_EQ(Driver::FocusId(c), 8002) << "the old password box, the first tab stop";
  EXPECT_TRUE(Driver::Place(c).topmost) << "system modal";

  struct Attempt {
    const wchar_t *oldPw, *newPw, *confirm;
    unsigned icon;
    const wchar_t* box;  // nullptr: changed, no box
  };
  const Attempt attempts[] = {
      {L"x", L"short", L"other", MB_ICONSTOP, L"新口令不匹配!"},
      {L"", L"", L"", MB_ICONSTOP, L"新口令不能和旧口令相同!"},
      {L"abc12345", L"", L"", MB_ICONEXCLAMATION, L"口令长度不能小于8位,请重新输入!"},
      {L"abc12345", L"abcdefgh", L"abcdefgh", MB_ICONEXCLAMATION, L"口令必须由数字和字母组成,请重新输入!"},
      // GBK 0x81 0x41 and 0xB0 0x5A: trail bytes in the letter range are not letters.
      {L"abc12345", L"丄癦丄癦1", L"丄癦丄癦1", MB_ICONEXCLAMATION, L"口令必须由数字和字母组成,请重新输入!"},
      {L"not-it", L"abcd5678", L"abcd5678", MB_ICONEXCLAMATION, L"更改口令失败!"},
      {L"abc12345", L"abcd5678", L"abcd5678", 0, nullptr},
  };
  bool shot = false;
  for (const Attempt& a : attempts) {
    SCOPED_TRACE(uidriver::ToUtf8(a.box ? a.box : L"changed"));
    Driver::Type(c, 8002, a.oldPw);
    Driver::Type(c, 8003, a.newPw);
    Driver::Type(c, 8004, a.confirm);
    if (!shot) {
      EXPECT_TRUE(Screenshot(c, "8002"));
      shot = true;
    }
    Driver::Click(c, IDOK);
    if (a.box) {
      EXPECT_EQ(Box(c, a.icon), a.box);
      EXPECT_TRUE(::IsWindow(c));
    }
  }
  EXPECT_TRUE(driver_.WaitGone(c, 5000)) << "a successful change closes the dialog without a box";
  for (int i = 0; i < 50 && !Driver::Enabled(d, 8000); ++i) ::Sleep(100);
  EXPECT_TRUE(Driver::Enabled(d, 8000));
  EXPECT_EQ(sim_->Value("drive e", "password"), "abcd5678");
  EXPECT_THAT(services_->Reports(),
              ::testing::ElementsAre(L"修改涉密优盘(盘符:e，序列号:SN-E，责任人:Owner)口令失败! ",
                                     L"修改涉密优盘(盘符:e，序列号:SN-E，责任人:Owner)口令成功。"));
  Driver::Click(d, IDCANCEL);
  EXPECT_EQ(Result(), IDCANCEL);
}

}  // namespace
}  // namespace torvane::test
