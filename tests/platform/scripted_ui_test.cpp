#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/scripted_ui.h"

namespace torvane::platform {
namespace {

// A dialog whose handlers are lambdas; every call is recorded.
struct TestDialog : DialogHandler {
  std::function<void(DialogWindow&, int)> command = [](DialogWindow& w, int id) {
    if (id == kIdOk || id == kIdCancel) w.EndDialog(id);
  };
  std::function<void(DialogWindow&)> init = [](DialogWindow&) {};
  std::vector<std::string> seen;
  bool OnInitDialog(DialogWindow& w) override {
    init(w);
    return true;
  }
  void OnCommand(DialogWindow& w, int id) override {
    seen.push_back("command " + std::to_string(id));
    command(w, id);
  }
  void OnTimer(DialogWindow&, unsigned id) override { seen.push_back("timer " + std::to_string(id)); }
  void OnDeviceChange(DialogWindow&, const DeviceChange& c) override {
    seen.push_back("device " + std::to_string(c.event) + " " + std::to_string(c.unitMask) + " " +
                   std::to_string(c.deviceType) + (c.hasHeader ? "" : " none"));
  }
};

std::unique_ptr<ScriptedUi> Script(const std::string& text) {
  std::string error;
  auto ui = ScriptedUi::FromText(text, &error);
  EXPECT_NE(ui, nullptr) << error;
  return ui;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  for (const auto& l : lines)
    if (l == line) return true;
  return false;
}

TEST(ScriptedUi, ControlsButtonsAndBoxesFollowTheScript) {
  auto ui = Script("dialog 9\ntype 5 pa\\x20ss\ncheck 6\npress 7\nbox\npress 7\nbox 2\nenter\n");
  TestDialog d;
  std::vector<int> answers;
  std::string typed;
  d.command = [&](DialogWindow& w, int id) {
    if (id == 7) answers.push_back(ui->MessageBox(&w, "text", "cap", kMbIconExclamation));
    if (id == kIdOk) {
      typed = w.GetItemText(5);
      EXPECT_EQ(w.IsDlgButtonChecked(6), kBstChecked);
      w.EndDialog(kIdOk);
    }
  };
  EXPECT_EQ(ui->RunModal(9, d), kIdOk);
  EXPECT_EQ(typed, "pa ss");
  EXPECT_EQ(answers, (std::vector<int>{1, 2}));
  EXPECT_TRUE(ui->Exhausted());
  const auto t = ui->Transcript();
  EXPECT_TRUE(Has(t, "9 type 5 \"*****\"")) << "typed text is masked";
  EXPECT_TRUE(Has(t, "box 9 \"cap\" 0x30 \"text\" -> 2"));
  EXPECT_EQ(t.back(), "dialog 9 end 1");
}

TEST(ScriptedUi, ExhaustedScriptCancelsAndDisabledButtonsDoNothing) {
  auto ui = Script("press 8\n");
  TestDialog d;
  d.init = [](DialogWindow& w) { w.EnableItem(8, false); };
  EXPECT_EQ(ui->RunModal(9, d), kIdCancel);
  EXPECT_TRUE(d.seen.empty());
  EXPECT_TRUE(Has(ui->Transcript(), "9 press 8 ignored: disabled"));
  // A box with no box step is answered IDOK at once.
  EXPECT_EQ(ui->MessageBox(nullptr, "t", "c", 0), kIdOk);
}

TEST(ScriptedUi, MalformedScriptsAreRefusedWithTheirLine) {
  std::string error;
  EXPECT_EQ(ScriptedUi::FromText("press 1\nfly away\n", &error), nullptr);
  EXPECT_EQ(error, "line 2: unknown step 'fly'");
  EXPECT_EQ(ScriptedUi::FromText("type x abc\n", &error), nullptr);
  EXPECT_EQ(ScriptedUi::FromText("type 1 \\q\n", &error), nullptr);
  EXPECT_EQ(ScriptedUi::FromText("remove 1z\n", &error), nullptr);
}

TEST(ScriptedUi, StepsGoToTheNewestDialogAndTimersFire) {
  auto ui = Script("press 100\ntype 1 inner\nwait 250\npress 1\nclose\n");
  TestDialog outer, inner;
  std::string innerText;
  inner.init = [](DialogWindow& w) { w.SetTimer(3, 100); };
  inner.command = [&](DialogWindow& w, int id) {
    innerText = w.GetItemText(1);
    w.EndDialog(id);
  };
  outer.command = [&](DialogWindow& w, int id) {
    if (id == 100) {
      EXPECT_EQ(ui->RunModal(20, inner), kIdOk);
    }
    if (id == kIdCancel) w.EndDialog(kIdCancel);
  };
  EXPECT_EQ(ui->RunModal(10, outer), kIdCancel);
  EXPECT_EQ(innerText, "inner");
  EXPECT_EQ(inner.seen, (std::vector<std::string>{"timer 3", "timer 3", "command 1"}));
  EXPECT_EQ(outer.seen, (std::vector<std::string>{"command 100", "command 2"}));
}

// Device steps reach the main window, also while a dialog of another thread
// waits for its own steps; `dialog` holds the main window until it opens.
TEST(ScriptedUi, MainWindowAndWorkerDialogsShareOneScript) {
  auto ui = Script("arrive\ndialog 30\narrive\npress 1\nremove ef\nremove 0x1 7\nremove g none\n");
  TestDialog worker;
  std::thread thread;
  int arrivals = 0;
  class Watch : public TestDialog {
   public:
    std::function<void()> onArrive;
    void OnDeviceChange(DialogWindow& w, const DeviceChange& c) override {
      TestDialog::OnDeviceChange(w, c);
      if (c.event == kDbtDeviceArrival && onArrive) onArrive();
    }
  } watch;
  watch.command = [](DialogWindow&, int) {};
  watch.onArrive = [&] {
    if (++arrivals == 1) thread = std::thread([&] { EXPECT_EQ(ui->RunModal(30, worker), kIdOk); });
  };
  ui->SetStepWait(std::chrono::milliseconds(2000));
  EXPECT_EQ(ui->RunModal(8000, watch), kIdCancel);  // ends when the script does
  thread.join();
  EXPECT_EQ(arrivals, 2);
  EXPECT_EQ(worker.seen, (std::vector<std::string>{"command 1"}));
  EXPECT_EQ(watch.seen, (std::vector<std::string>{"device 32768 0 0 none", "device 32768 0 0 none",
                                                   "device 32772 48 2", "device 32772 1 7",
                                                   "device 32772 64 0 none"}));
}

// `arrive TYPE` carries a broadcast header; `quit` ends every modal loop of
// the main window's thread, the nested dialog's first, and takes no more steps.
TEST(ScriptedUi, ArrivalTypesAndQuitMessage) {
  auto ui = Script("arrive volume\narrive 5\npress 100\nquit\npress 7\n");
  TestDialog main, nested;
  int nestedResult = 0;
  main.command = [&](DialogWindow&, int id) {
    if (id == 100) nestedResult = ui->RunModal(31, nested);
  };
  nested.command = [](DialogWindow&, int) {};
  EXPECT_EQ(ui->RunModal(8000, main), kIdCancel);
  EXPECT_EQ(nestedResult, kIdCancel);
  EXPECT_EQ(main.seen, (std::vector<std::string>{"device 32768 0 2", "device 32768 0 5", "command 100"}));
  EXPECT_TRUE(nested.seen.empty());
  EXPECT_FALSE(ui->Exhausted()) << "nothing after the quit is taken";
  const auto t = ui->Transcript();
  EXPECT_TRUE(Has(t, "8000 arrive type 2"));
  EXPECT_TRUE(Has(t, "8000 quit"));
  EXPECT_FALSE(Has(t, "8000 script ended"));
  std::string error;
  EXPECT_EQ(ScriptedUi::FromText("arrive usb\n", &error), nullptr);
  EXPECT_EQ(error, "line 1: bad device type 'usb'");
}

// A live script: running out of lines is waiting, not the end; a bad line is
// noted and skipped; only the end of the feed ends the script.
TEST(ScriptedUi, LiveScriptWaitsForItsLines) {
  auto ui = Script("");
  ui->StartFeed();
  std::atomic<int> arrivals{0};
  class Watch : public TestDialog {
   public:
    std::atomic<int>* count = nullptr;
    void OnDeviceChange(DialogWindow&, const DeviceChange&) override { ++*count; }
  } watch;
  watch.count = &arrivals;
  watch.command = [](DialogWindow&, int) {};
  std::atomic<bool> ended{false};
  std::thread main([&] {
    EXPECT_EQ(ui->RunModal(8000, watch), kIdCancel);
    ended = true;
  });
  ui->Feed("arrive");
  for (int i = 0; i < 500 && arrivals.load() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(arrivals.load(), 1);
  ui->Feed("fly away");
  ui->Feed("# a comment");
  ui->Feed("arrive 2");
  for (int i = 0; i < 500 && arrivals.load() < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(ended.load()) << "the window waits for more lines";
  ui->EndFeed();
  main.join();
  EXPECT_EQ(arrivals.load(), 2);
  const auto t = ui->Transcript();
  EXPECT_TRUE(Has(t, "note: line 2: unknown step 'fly', skipped"));
  EXPECT_TRUE(Has(t, "8000 script ended"));
}

// A live feed that runs for long keeps nothing of what is done: every one
// of many steps is still taken in order, while the lines that went to the
// sink are not also kept.
TEST(ScriptedUi, LongLiveFeedTakesEveryStepAndKeepsNoTranscript) {
  auto ui = Script("");
  std::atomic<int> streamed{0};
  ui->SetTranscriptSink([&](const std::string&) { ++streamed; });
  ui->StartFeed();
  std::vector<int> seen;
  std::mutex mu;
  class Watch : public TestDialog {
   public:
    std::function<void(int)> onArrive;
    void OnDeviceChange(DialogWindow&, const DeviceChange& c) override { onArrive(static_cast<int>(c.deviceType)); }
  } watch;
  watch.onArrive = [&](int mask) {
    std::lock_guard<std::mutex> hold(mu);
    seen.push_back(mask);
  };
  watch.command = [](DialogWindow&, int) {};
  std::thread main([&] { EXPECT_EQ(ui->RunModal(8000, watch), kIdCancel); });
  constexpr int kSteps = 300;
  for (int i = 1; i <= kSteps; ++i) {
    ui->Feed("arrive " + std::to_string(i));
    if (i == 150) ui->Feed("fly away");
  }
  for (int i = 0; i < 500; ++i) {
    {
      std::lock_guard<std::mutex> hold(mu);
      if (seen.size() == kSteps) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(ui->Transcript().empty()) << "lines that went to the sink are kept as well";
  ui->EndFeed();
  main.join();
  ASSERT_EQ(seen.size(), static_cast<std::size_t>(kSteps));
  for (int i = 1; i <= kSteps; ++i) EXPECT_EQ(seen[i - 1], i) << "step " << i;
  EXPECT_GT(streamed.load(), kSteps);
  EXPECT_TRUE(Has(ui->Transcript(), "8000 script ended"));
}

// `sleep` holds the script in real time; time stamps count from the UI's
// start.
TEST(ScriptedUi, SleepHoldsTheScriptAndLinesCarryTimeStamps) {
  auto ui = Script("sleep 150\npress 1\n");
  ui->SetTimestamps(true);
  TestDialog d;
  EXPECT_EQ(ui->RunModal(9, d), kIdOk);
  const auto t = ui->Transcript();
  ASSERT_EQ(t.size(), 4u);
  long long last = -1;
  for (const auto& line : t) {
    ASSERT_EQ(line[0], '[') << line;
    const long long ms = std::stoll(line.substr(1));
    EXPECT_GE(ms, last) << line;
    last = ms;
  }
  EXPECT_NE(t[1].find("] 9 sleep 150"), std::string::npos) << t[1];
  EXPECT_NE(t[2].find("] 9 press 1"), std::string::npos) << t[2];
  EXPECT_GE(std::stoll(t[2].substr(1)), 150) << "the press waited for the sleep";
}

}  // namespace
}  // namespace torvane::platform
