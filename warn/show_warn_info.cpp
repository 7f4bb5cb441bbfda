#include "warn/show_warn_info.h"

#include "platform/named_flag.h"
#include "warn/texts.h"
#include "warn/warn_dlg.h"

namespace torvane::warn {

std::int32_t ShowWarnInfoWith(platform::Ui& ui, const char* caption, const char* text) {
  platform::NamedFlag flag = platform::NamedFlag::Create(text::kWarnFlagName);
  // Another box is up (here or in another process): this warning is dropped.
  if (flag.status() == platform::NamedFlag::Status::kAlreadyExists) return 0;
  CWarnDlg dialog(caption ? caption : "", text ? text : "");
  ui.RunModal(CWarnDlg::kTemplate, dialog);
  return 0;  // the flag goes with `flag`, after the box has closed
}

}  // namespace torvane::warn
