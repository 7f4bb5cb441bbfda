#include "platform/console.h"

namespace torvane::platform {

// Terminals take bytes; the tools write UTF-8 to them.
bool StdoutIsConsole() { return false; }

std::size_t WriteStdoutConsole(std::u16string_view) { return 0; }

}  // namespace torvane::platform
