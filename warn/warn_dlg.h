#pragma once
// The warning box (template 8003): a caption, a text, an icon and OK. It
// counts down once a second and closes itself on the sixtieth tick; Escape
// and the close box leave it open.
#include <string>
#include <string_view>

#include "platform/dialog.h"

namespace torvane::warn {

class CWarnDlg final : public platform::DialogHandler {
 public:
  static constexpr int kTemplate = 8003;
  static constexpr int kTextStatic = 8005;
  static constexpr int kCountdownStatic = 8004;
  static constexpr unsigned kTimer = 1;
  static constexpr unsigned kTickMs = 1000;
  static constexpr int kSeconds = 60;

  CWarnDlg(std::string_view caption, std::string_view text) : caption_(caption), text_(text) {}

  bool OnInitDialog(platform::DialogWindow& window) override;
  void OnCommand(platform::DialogWindow& window, int id) override;
  void OnTimer(platform::DialogWindow& window, unsigned id) override;

 private:
  std::string caption_;
  std::string text_;
  int secondsLeft_ = kSeconds;
};

}  // namespace torvane::warn
