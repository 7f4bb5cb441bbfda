// The exported ShowWarnInfo, compiled into the shipped library itself.
#include <string>

#include "platform/native_ui.h"
#include "warn/show_warn_info.h"

extern "C" TORVANE_EXPORT_VISIBLE std::int32_t TORVANE_EXPORT_CALL
ShowWarnInfo(const char* caption, const char* text) {
  try {
    std::string error;
    std::unique_ptr<torvane::platform::Ui> ui = torvane::platform::CreateNativeUi(&error);
    if (ui) torvane::warn::ShowWarnInfoWith(*ui, caption, text);
  } catch (...) {
    // Nothing is thrown across the export; the result is 0 regardless.
  }
  return 0;
}
