// The warning box and ShowWarnInfo, driven by the scripted window system.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/named_flag.h"
#include "platform/scripted_ui.h"
#include "support/state_dir_fixture.h"
#include "support/temp_dir.h"
#include "warn/show_warn_info.h"
#include "warn/texts.h"
#include "warn/warn_dlg.h"

namespace torvane::warn {
namespace {

using platform::NamedFlag;
using platform::ScriptedUi;
using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::Not;

class WarnTest : public test::OwnStateDirTest {
 protected:

  std::unique_ptr<ScriptedUi> Script(const std::string& text) {
    std::string error;
    auto ui = ScriptedUi::FromText(text, &error);
    EXPECT_NE(ui, nullptr) << error;
    return ui;
  }

  // The countdown lines the box wrote, in order.
  static std::vector<std::string> Countdown(const std::vector<std::string>& transcript) {
    const std::string prefix = "8003 set 8004 \"";
    std::vector<std::string> lines;
    for (const auto& l : transcript)
      if (l.rfind(prefix, 0) == 0) lines.push_back(l.substr(prefix.size(), l.size() - prefix.size() - 1));
    return lines;
  }

  static std::string Line(int seconds) {
    char buf[64];
    std::snprintf(buf, sizeof buf, text::kCountdownFormat, seconds);
    return buf;
  }
};

TEST_F(WarnTest, CountsDownFrom60To1AndClosesItselfOnTheSixtiethTick) {
  auto ui = Script("dialog 8003\nwait 59000\ncall open\nwait 999\ncall open\nwait 1\n");
  int stillOpen = 0;
  ui->SetHook("open", [&] { ++stillOpen; });
  EXPECT_EQ(ShowWarnInfoWith(*ui, "cap", "txt"), 0);
  const auto t = ui->Transcript();
  std::vector<std::string> expected{text::kCountdownStart};
  for (int s = 59; s >= 1; --s) expected.push_back(Line(s));
  EXPECT_THAT(Countdown(t), ElementsAreArray(expected)) << "60 first, then 59..1, never 0";
  EXPECT_EQ(std::string(text::kCountdownStart), Line(60));
  EXPECT_EQ(stillOpen, 2) << "open after 59 s and after 59.999 s";
  EXPECT_EQ(t.back(), "dialog 8003 end 1");
  EXPECT_TRUE(ui->Exhausted());
}

TEST_F(WarnTest, OpensCentredWithCaptionTextAndTimer) {
  auto ui = Script("dialog 8003\npress 1\n");
  EXPECT_EQ(ShowWarnInfoWith(*ui, "\xbe\xaf\xb8\xe6", "\xce\xc4\xb1\xbe text"), 0);
  EXPECT_THAT(ui->Transcript(),
              ::testing::ElementsAre("dialog 8003 open", "8003 centre",
                                     "8003 set 8004 \"" + std::string(text::kCountdownStart) + "\"",
                                     "8003 title \"\xbe\xaf\xb8\xe6\"", "8003 set 8005 \"\xce\xc4\xb1\xbe text\"",
                                     "8003 settimer 1 1000", "8003 press 1", "dialog 8003 end 1"));
}

TEST_F(WarnTest, NullTextsAreEmpty) {
  auto ui = Script("dialog 8003\nwait 60000\n");
  EXPECT_EQ(ShowWarnInfoWith(*ui, nullptr, nullptr), 0);
  const auto t = ui->Transcript();
  EXPECT_THAT(t, Contains("8003 title \"\""));
  EXPECT_THAT(t, Contains("8003 set 8005 \"\""));
  EXPECT_EQ(t.back(), "dialog 8003 end 1") << "an empty box still counts down and closes";
}

TEST_F(WarnTest, EscapeTheCloseBoxAndOtherTimersLeaveTheBoxOpen) {
  auto ui = Script("dialog 8003\nclose\nclose\ntimer 7\ncall open\npress 1\n");
  bool open = false;
  ui->SetHook("open", [&] { open = true; });
  ShowWarnInfoWith(*ui, "c", "t");
  EXPECT_TRUE(open);
  const auto t = ui->Transcript();
  EXPECT_EQ(Countdown(t).size(), 1u) << "timer 7 is not the countdown";
  EXPECT_EQ(t.back(), "dialog 8003 end 1") << "closed by OK, not by the two closes";
}

TEST_F(WarnTest, OnlyOneBoxAtATimeAndTheFlagGoesWithTheBox) {
  {
    NamedFlag other = NamedFlag::Create(text::kWarnFlagName);
    ASSERT_EQ(other.status(), NamedFlag::Status::kCreated);
    auto ui = Script("dialog 8003\npress 1\n");
    EXPECT_EQ(ShowWarnInfoWith(*ui, "c", "t"), 0);
    EXPECT_THAT(ui->Transcript(), Not(Contains("dialog 8003 open"))) << "dropped while another box is up";
  }
  auto ui = Script("dialog 8003\ncall probe\npress 1\n");
  NamedFlag::Status whileUp = NamedFlag::Status::kFailed;
  ui->SetHook("probe", [&] { whileUp = NamedFlag::Create(text::kWarnFlagName).status(); });
  ShowWarnInfoWith(*ui, "c", "t");
  EXPECT_EQ(whileUp, NamedFlag::Status::kAlreadyExists) << "the flag marks the open box";
  EXPECT_EQ(ui->Transcript().back(), "dialog 8003 end 1");
  EXPECT_EQ(NamedFlag::Create(text::kWarnFlagName).status(), NamedFlag::Status::kCreated)
      << "released once the box has closed";
}

}  // namespace
}  // namespace torvane::warn
