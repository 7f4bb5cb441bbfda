#include <gtest/gtest.h>

#include <functional>
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

}  // namespace
}  // namespace torvane::platform
