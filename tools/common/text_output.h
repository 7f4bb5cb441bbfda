#pragma once
// How the support tools print. The system's texts are bytes in the ANSI code
// page (GBK on the target systems). To a Windows console they go as UTF-16
// through the console's own wide-character output, so they read right
// whatever the console's code page; redirected, and on POSIX, as UTF-8.
// With --raw they are written as they are (GBK bytes), wherever they go.
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace torvane::tools {

void SetRawOutput(bool raw);
bool RawOutput();

// Writes `ansi` and a line feed to standard output and flushes.
void PrintLine(std::string_view ansi);

// The same with the console writer (null: standard output is no console;
// it returns how many UTF-16 units the console took) and the stream behind
// it given: what PrintLine does with the real ones (tests).
using ConsoleWriter = std::size_t (*)(std::u16string_view text);
void PrintLineTo(std::string_view ansi, ConsoleWriter console, std::FILE* out);

// Text from the command line in the ANSI code page: on Windows the arguments
// already are; elsewhere they are UTF-8.
std::string ArgToAnsi(const std::string& arg);

// A file path as the platform names files (ANSI on Windows, UTF-8 bytes
// elsewhere), as ANSI text for PrintLine.
inline std::string PathToAnsi(const std::string& path) { return ArgToAnsi(path); }

}  // namespace torvane::tools
