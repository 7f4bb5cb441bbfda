#pragma once
// Conversions between the system's 8-bit ANSI code page and UTF-16. Windows
// uses the calling thread's ANSI code page; POSIX uses GBK (code page 936),
// as on the target systems. Bytes or characters that cannot be converted
// become '?', as the platform's default character.
#include <string>
#include <string_view>

namespace torvane::platform {

std::u16string AnsiToUtf16(std::string_view ansi);
std::string Utf16ToAnsi(std::u16string_view text);

// True when `byte` opens a double-byte character in the ANSI code page (GBK:
// 0x81 to 0xFE); the byte after it belongs to the same character.
bool IsAnsiLeadByte(unsigned char byte);

}  // namespace torvane::platform
