#include "platform/beep.h"

namespace torvane::platform {

void AlertBeep() {}

}  // namespace torvane::platform
