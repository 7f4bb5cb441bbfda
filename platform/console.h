#pragma once
// Standard output as a console. A Windows console shows bytes in its own
// output code page, which need not be the system's ANSI code page; text
// written to it as UTF-16 shows right whatever that code page is. POSIX has
// no such console: a terminal there takes bytes.
#include <cstddef>
#include <string_view>

namespace torvane::platform {

// True when standard output is a console that takes UTF-16 text (Windows);
// false when it is redirected to a file or pipe, and always on POSIX.
bool StdoutIsConsole();

// Writes `text` to the console behind standard output as UTF-16; returns how
// many of its code units the console took (all of them, or fewer when it
// failed partway; 0 when standard output is no console), so that a caller
// can finish the rest another way without repeating what was shown.
std::size_t WriteStdoutConsole(std::u16string_view text);

}  // namespace torvane::platform
