#include <windows.h>

#include "platform/beep.h"

namespace torvane::platform {

void AlertBeep() { ::MessageBeep(0xFFFFFFFF); }

}  // namespace torvane::platform
