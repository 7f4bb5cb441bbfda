#pragma once
// What the host prints. The system's texts are bytes in the ANSI code page
// (GBK on the target systems); by default they are converted to UTF-8 so a
// UTF-8 terminal shows them, and with --raw they are written as they are.
#include <string>
#include <string_view>

namespace torvane::host {

void SetRawOutput(bool raw);
bool RawOutput();

// `text` as it should be printed: UTF-8, or the bytes themselves when raw.
std::string Printable(std::string_view ansi);

// Writes Printable(text) and a line feed to standard output and flushes.
void PrintLine(std::string_view ansi);

// Text from the command line in the ANSI code page: on Windows the arguments
// already are; elsewhere they are UTF-8.
std::string ArgToAnsi(const std::string& arg);

}  // namespace torvane::host
