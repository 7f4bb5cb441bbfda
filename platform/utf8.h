#pragma once
// UTF-8 <-> UTF-16: file names on POSIX, where names are UTF-8 bytes, and
// the tools' terminal text.
// Malformed input becomes U+FFFD; nothing is ever read past the input.
#include <string>
#include <string_view>

namespace torvane::platform {

std::u16string Utf8ToUtf16(std::string_view in);
std::string Utf16ToUtf8(std::u16string_view in);

}  // namespace torvane::platform
