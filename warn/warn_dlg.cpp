#include "warn/warn_dlg.h"

#include <cstdio>

#include "warn/texts.h"

namespace torvane::warn {

bool CWarnDlg::OnInitDialog(platform::DialogWindow& window) {
  window.CenterWindow();
  window.SetItemText(kCountdownStatic, text::kCountdownStart);
  window.SetTitle(caption_);
  window.SetItemText(kTextStatic, text_);
  secondsLeft_ = kSeconds;
  window.SetTimer(kTimer, kTickMs);
  return true;  // the focus goes to OK, the first tab stop
}

void CWarnDlg::OnCommand(platform::DialogWindow& window, int id) {
  // Only OK (and Enter, OK being the default button) closes the box; IDCANCEL
  // from Escape or the close box is ignored.
  if (id == platform::kIdOk) window.EndDialog(platform::kIdOk);
}

void CWarnDlg::OnTimer(platform::DialogWindow& window, unsigned id) {
  if (id != kTimer) return;
  --secondsLeft_;
  if (secondsLeft_ > 0) {
    char line[64];
    std::snprintf(line, sizeof line, text::kCountdownFormat, secondsLeft_);
    window.SetItemText(kCountdownStatic, line);
  } else {
    window.EndDialog(platform::kIdOk);
  }
}

}  // namespace torvane::warn
