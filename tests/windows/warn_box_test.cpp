// ShowWarnInfo from the shipped Torvane.dll: the box comes from the DLL's own
// resources (this program links none), counts down, ignores Escape and the
// close box, and is shown only once at a time across processes.
#include <gtest/gtest.h>
#include <windows.h>

#include <future>
#include <string>

#include "screens.h"
#include "shipped_library.h"
#include "tools/uidriver/ui_driver.h"

namespace torvane::test {
namespace {

using uidriver::Driver;
using ShowWarnInfoFn = int(__stdcall*)(const char*, const char*);

const char kCaption[] = "\xb2\xe2\xca\xd4\xbe\xaf\xb8\xe6";  // 测试警告 in GBK
const char kText[] = "\xc7\xeb\xb0\xce\xb3\xf6\xd3\xc5\xc5\xcc";  // 请拔出优盘

class WarnBox : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadShippedLibrary();
    ASSERT_NE(module_, nullptr);
    show_ = reinterpret_cast<ShowWarnInfoFn>(reinterpret_cast<void (*)()>(::GetProcAddress(module_, "ShowWarnInfo")));
    ASSERT_NE(show_, nullptr);
  }
  void TearDown() override {
    if (module_) ::FreeLibrary(module_);
  }
  std::future<int> Show(const char* caption, const char* text) {
    return std::async(std::launch::async, [=, this] { return show_(caption, text); });
  }
  // The countdown number shown in control 8004, -1 when the line is not one.
  static int Seconds(HWND box) {
    const std::wstring line = Driver::Text(box, 8004);
    const std::wstring head = L"窗口在", tail = L"秒后自动关闭";
    if (line.size() <= head.size() + tail.size() || line.compare(0, head.size(), head) != 0 ||
        line.compare(line.size() - tail.size(), tail.size(), tail) != 0)
      return -1;
    return std::stoi(line.substr(head.size(), line.size() - head.size() - tail.size()));
  }

  HMODULE module_ = nullptr;
  ShowWarnInfoFn show_ = nullptr;
  // Generous: the first window of a fresh prefix waits for its font cache.
  Driver driver_{::GetCurrentProcessId(), 30000};
};

TEST_F(WarnBox, CountsDownIgnoresEscapeAndCloseAndClosesWithOk) {
  auto done = Show(kCaption, kText);
  HWND box = driver_.WaitDialog(L"测试警告", {1, 8004, 8005});
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(Driver::Text(box, 8004), L"窗口在60秒后自动关闭");
  EXPECT_EQ(Driver::Text(box, 8005), L"请拔出优盘");
  const auto p = Driver::Place(box);
  const int w = p.rect.right - p.rect.left, h = p.rect.bottom - p.rect.top;
  EXPECT_EQ(p.rect.left, (::GetSystemMetrics(SM_CXSCREEN) - w) / 2);
  EXPECT_EQ(p.rect.top, (::GetSystemMetrics(SM_CYSCREEN) - h) / 2);
  EXPECT_TRUE(p.topmost) << "system modal";
  EXPECT_EQ(Driver::FocusId(box), IDOK);
  EXPECT_TRUE(Screenshot(box, "8003"));

  Driver::Key(box, VK_ESCAPE);
  Driver::Close(box);
  ::Sleep(2600);
  ASSERT_TRUE(::IsWindow(box)) << "Escape and the close box leave it open";
  const int later = Seconds(box);
  EXPECT_GE(later, 50);
  EXPECT_LE(later, 58) << "a few ticks have passed";

  Driver::Click(box, IDOK);
  ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(done.get(), 0);

  // Once closed, the next call shows a new box; Enter presses OK.
  auto again = Show("again", nullptr);
  HWND second = driver_.WaitDialog(L"again", {8004});
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(Driver::Text(second, 8005), L"");
  Driver::Key(second, VK_RETURN);
  ASSERT_EQ(again.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(again.get(), 0);
}

TEST_F(WarnBox, SecondCallFromAnotherProcessReturnsAtOnceWhileABoxIsUp) {
  auto done = Show(kCaption, kText);
  HWND box = driver_.WaitDialog(L"测试警告", {1, 8004, 8005});
  ASSERT_NE(box, nullptr);

  std::wstring command = uidriver::FromUtf8(std::string("\"") + TORVANE_HOST_PATH + "\" warn second text");
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(::CreateProcessW(uidriver::FromUtf8(TORVANE_HOST_PATH).c_str(), command.data(), nullptr, nullptr,
                               FALSE, 0, nullptr, nullptr, &si, &pi));
  const DWORD waited = ::WaitForSingleObject(pi.hProcess, 20000);
  DWORD code = 1;
  ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  EXPECT_EQ(waited, WAIT_OBJECT_0) << "the second call returns without a box to wait for";
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(Driver(0, 0).Dialogs(L"second").empty());
  EXPECT_TRUE(::IsWindow(box)) << "the first box is untouched";

  Driver::Click(box, IDOK);
  ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

// The one test that waits the whole minute.
TEST_F(WarnBox, ClosesByItselfAfterSixtySecondsWithNoLineAtZero) {
  const ULONGLONG start = ::GetTickCount64();
  auto done = Show(nullptr, nullptr);
  HWND box = driver_.WaitDialog(L"", {1, 8004, 8005});
  ASSERT_NE(box, nullptr);
  int lowest = 60;
  while (::IsWindow(box) && ::GetTickCount64() - start < 90000) {
    const int s = Seconds(box);
    if (s >= 0 && s < lowest) lowest = s;
    ::Sleep(200);
  }
  ASSERT_EQ(done.wait_for(std::chrono::seconds(5)), std::future_status::ready) << "still open after 90 s";
  EXPECT_EQ(done.get(), 0);
  EXPECT_GE(::GetTickCount64() - start, 59000u);
  EXPECT_GE(lowest, 1) << "no line with 0 is ever shown";
  EXPECT_LE(lowest, 2);
}

}  // namespace
}  // namespace torvane::test
