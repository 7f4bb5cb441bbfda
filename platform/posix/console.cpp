#include "platform/console.h"

namespace torvane::platform {

// Terminals take bytes; the tools write UTF-8 to them.
bool StdoutIsConsole() { return false; }

bool WriteStdoutConsole(std::u16string_view) { return false; }

}  // namespace torvane::platform
