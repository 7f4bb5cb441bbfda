#pragma once
// ShowWarnInfo: one warning box at a time among all processes of the logon.
// The flag "Global_ShowWarnInfo_DIZaraz" exists while a box is up; a call
// that finds it shows nothing. Null texts count as empty. Always returns 0,
// after the box has closed or at once.
#include <cstdint>

#include "entry/export.h"
#include "platform/dialog.h"

namespace torvane::warn {

std::int32_t ShowWarnInfoWith(platform::Ui& ui, const char* caption, const char* text);

}  // namespace torvane::warn


// The export of the shipped library (Torvane.dll ordinal 2, libTorvane.so):
// shows the box with the process's own window system.
extern "C" std::int32_t TORVANE_EXPORT_CALL ShowWarnInfo(const char* caption, const char* text);
using ShowWarnInfoFunction = std::int32_t(TORVANE_EXPORT_CALL*)(const char* caption, const char* text);
