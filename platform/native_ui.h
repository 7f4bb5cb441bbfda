#pragma once
// The process's own window system behind the dialog framework.
// Windows: real dialogs from the templates in the module that holds this
// code (Torvane.dll when shipped), message boxes and beeps of the system.
// POSIX: the scripted UI, with its script read from the file named by
// TORVANE_UI_SCRIPT (none: every dialog is cancelled, every box answered
// IDOK; a pipe: a live script, read line by line until the writer closes
// it) and its transcript appended to the file named by
// TORVANE_UI_TRANSCRIPT, if set, with time stamps when
// TORVANE_UI_TIMESTAMPS is 1.
#include <memory>
#include <string>

#include "platform/dialog.h"

namespace torvane::platform {

// nullptr and *error when the backend cannot start (an unreadable or
// malformed script).
std::unique_ptr<Ui> CreateNativeUi(std::string* error);

}  // namespace torvane::platform
