#pragma once
// The INI lookup behind the POSIX profile reads, over the file's bytes, made
// to answer as the Windows profile functions do (checked against them by the
// profile parity test). Text is taken as GBK: a lead byte and its trail byte
// are one character and never split or mistaken for '[', ']' or '='.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace torvane::platform::ini {

// The raw value of `key` in the first section named `section` (both matched
// without regard to ASCII case, blanks around them ignored), as stored after
// the '=' with blanks trimmed. Empty when the section or key is missing, or
// the key's line has no '='. Only the first section of that name is searched.
std::optional<std::string> FindValue(std::string_view file, std::string_view section,
                                     std::string_view key);

// What a buffer of `size` bytes receives for `value`: one pair of matching
// quotes (' or ") around it dropped, then cut to size - 1 bytes on a
// character boundary.
std::string CopyEntry(std::string_view value, std::size_t size);

// The integer reading of a profile text: leading control characters and
// blanks skipped, an optional sign, "0x", "0o" or "0b" for base 16, 8 or 2,
// then digits up to the first that does not belong; wraps modulo 2^32.
int ParseProfileInt(std::string_view text);

}  // namespace torvane::platform::ini
