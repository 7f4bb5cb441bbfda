// The Win32 backend of the dialog framework with a handler of the test's
// own: what reaches the handler, and what its calls do to the real window.
#include <gtest/gtest.h>
#include <windows.h>

#include <dbt.h>

#include <cstdio>
#include <functional>
#include <future>
#include <mutex>
#include <vector>

#include "platform/native_ui.h"
#include "tools/uidriver/ui_driver.h"

namespace torvane::test {
namespace {

using platform::DeviceChange;
using platform::DialogWindow;
using uidriver::Driver;

class Handler final : public platform::DialogHandler {
 public:
  std::function<void(DialogWindow&)> init;
  std::function<void(DialogWindow&, int)> command;
  std::function<void(DialogWindow&, unsigned)> timer;

  bool OnInitDialog(DialogWindow& w) override {
    if (init) init(w);
    return true;
  }
  void OnCommand(DialogWindow& w, int id) override {
    Record("command " + std::to_string(id));
    if (command) command(w, id);
  }
  void OnTimer(DialogWindow& w, unsigned id) override {
    Record("timer " + std::to_string(id));
    if (timer) timer(w, id);
  }
  void OnDeviceChange(DialogWindow&, const DeviceChange& c) override {
    char line[96];
    std::snprintf(line, sizeof line, "device 0x%x %s type %u mask 0x%x", static_cast<unsigned>(c.event),
                  c.hasHeader ? "header" : "none", static_cast<unsigned>(c.deviceType),
                  static_cast<unsigned>(c.unitMask));
    Record(line);
  }
  std::vector<std::string> Seen() {
    std::lock_guard lock(mu_);
    return seen_;
  }

 private:
  void Record(const std::string& s) {
    std::lock_guard lock(mu_);
    seen_.push_back(s);
  }
  std::mutex mu_;
  std::vector<std::string> seen_;
};

class Backend : public ::testing::Test {
 protected:
  std::future<int> Run(int id) {
    return std::async(std::launch::async, [this, id] { return ui_->RunModal(id, handler_); });
  }
  static int Wait(std::future<int>& f) {
    return f.wait_for(std::chrono::seconds(10)) == std::future_status::ready ? f.get() : -100;
  }
  std::unique_ptr<platform::Ui> ui_ = platform::CreateNativeUi(nullptr);
  Handler handler_;
  Driver driver_{::GetCurrentProcessId(), 30000};
};

TEST_F(Backend, UnknownTemplateCannotBeCreated) {
  EXPECT_EQ(ui_->RunModal(8100, handler_), -1);
  EXPECT_EQ(ui_->RunModal(0, handler_), -1);
}

// The hidden window: Enter, Escape and the close box reach the handler as
// IDOK/IDCANCEL and end nothing by themselves; device changes arrive decoded.
TEST_F(Backend, DeviceChangesAndKeysReachTheHandlerOfTheHiddenWindow) {
  HWND found = nullptr;
  handler_.init = [&](DialogWindow& w) {
    w.SetTitle("watch-test");
    w.ShowAt(0, 0, 0, 0);
  };
  handler_.command = [](DialogWindow& w, int id) {
    if (id == 7) w.EndDialog(42);
  };
  auto result = Run(8000);
  found = driver_.WaitDialog(L"watch-test");
  ASSERT_NE(found, nullptr);
  const auto p = Driver::Place(found);
  EXPECT_EQ(p.rect.right - p.rect.left, 0);
  EXPECT_TRUE(p.exStyle & WS_EX_TOOLWINDOW);

  DEV_BROADCAST_VOLUME volume{};
  volume.dbcv_size = sizeof volume;
  volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  volume.dbcv_unitmask = 1u << ('F' - 'A');
  EXPECT_EQ(::SendMessageW(found, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&volume)), 0);
  DEV_BROADCAST_HDR port{};
  port.dbch_size = sizeof port;
  port.dbch_devicetype = DBT_DEVTYP_PORT;
  ::SendMessageW(found, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&port));
  ::SendMessageW(found, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
  volume.dbcv_size = sizeof(DEV_BROADCAST_HDR);  // too short to hold a unit mask
  ::SendMessageW(found, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
  Driver::Close(found);  // arrives as a posted IDCANCEL
  for (int i = 0; i < 100 && handler_.Seen().size() < 5; ++i) ::Sleep(50);
  ::SendMessageW(found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  ::SendMessageW(found, WM_COMMAND, MAKEWPARAM(IDOK, EN_CHANGE), 0);  // not a click
  ::SendMessageW(found, WM_TIMER, 1, 0);
  EXPECT_TRUE(::IsWindow(found));
  ::PostMessageW(found, WM_COMMAND, MAKEWPARAM(7, BN_CLICKED), 0);
  EXPECT_EQ(Wait(result), 42);
  EXPECT_EQ(handler_.Seen(), (std::vector<std::string>{
                                 "device 0x8004 header type 2 mask 0x20", "device 0x8000 header type 3 mask 0x0",
                                 "device 0x7 none type 0 mask 0x0", "device 0x8000 header type 2 mask 0x0",
                                 "command 2", "command 1", "timer 1", "command 7"}));
}

// Controls: 8-bit texts in the ANSI code page, check state, enabling, focus,
// timers; a password edit gives its text once and is cleared.
TEST_F(Backend, ControlsTimersAndPasswordHygieneOnARealDialog) {
  std::promise<void> ready;
  handler_.init = [&](DialogWindow& w) {
    w.SetItemText(8006, "\xb8\xf1\xca\xbd");  // 格式 in GBK
    w.CheckDlgButton(8006, platform::kBstChecked);
    w.EnableItem(8000, false);
    w.SetFocus(8001);
    EXPECT_TRUE(w.SetTimer(5, 50));
  };
  int ticks = 0;
  handler_.timer = [&](DialogWindow& w, unsigned) {
    if (++ticks == 3) {
      w.KillTimer(5);
      ready.set_value();
    }
  };
  std::string password, label;
  int checked = -1;
  handler_.command = [&](DialogWindow& w, int id) {
    if (id != IDOK) return;
    password = w.GetItemText(8001);
    label = w.GetItemText(8006);
    checked = w.IsDlgButtonChecked(8006);
    w.EndDialog(IDOK);
  };
  auto result = Run(8001);
  HWND d = driver_.WaitDialog(L"请输入口令");
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(ready.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(Driver::Text(d, 8006), L"格式");
  EXPECT_EQ(Driver::Checked(d, 8006), BST_CHECKED);
  EXPECT_FALSE(Driver::Enabled(d, 8000));
  EXPECT_EQ(Driver::FocusId(d), 8001);

  Driver::Type(d, 8001, L"pw\u4e2d1");
  Driver::Click(d, IDOK);
  EXPECT_EQ(Wait(result), IDOK);
  EXPECT_EQ(password, "pw\xd6\xd0" "1");
  EXPECT_EQ(label, "\xb8\xf1\xca\xbd") << "other controls keep their text";
  EXPECT_EQ(checked, platform::kBstChecked);
  EXPECT_EQ(ticks, 3) << "the killed timer does not fire again";
}

TEST_F(Backend, PasswordBoxIsEmptyAfterItWasRead) {
  std::string first, second;
  handler_.command = [&](DialogWindow& w, int id) {
    if (id != IDOK) return;
    first = w.GetItemText(8001);
    second = w.GetItemText(8001);
    w.EndDialog(IDOK);
  };
  auto result = Run(8001);
  HWND d = driver_.WaitDialog(L"请输入口令");
  ASSERT_NE(d, nullptr);
  Driver::Type(d, 8001, L"secret99");
  Driver::Click(d, IDOK);
  EXPECT_EQ(Wait(result), IDOK);
  EXPECT_EQ(first, "secret99");
  EXPECT_EQ(second, "");
}

}  // namespace
}  // namespace torvane::test
