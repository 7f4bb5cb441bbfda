#pragma once
// Event texts are formatted into a 512-byte buffer. A text that does not fit
// is cut at the last whole character before the buffer's end: the bytes are
// walked from the start as GBK (a lead byte 0x81..0xFE takes the next byte
// with it), so a double-byte character is never split and the buffer always
// ends in a NUL.
#include <cstddef>
#include <string>
#include <string_view>

namespace torvane::admission {

inline constexpr std::size_t kEventTextSize = 512;

class EventText {
 public:
  const char* c_str() const { return buf_; }
  std::string_view view() const { return buf_; }
  bool cut() const { return cut_; }  // the full text did not fit

 private:
  friend EventText FormatEventText(const char* format, ...);
  char buf_[kEventTextSize] = {};
  bool cut_ = false;
};

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
EventText FormatEventText(const char* format, ...);

// The length of the longest prefix of `text` no longer than `limit` bytes that
// ends on a GBK character boundary. With `continues`, `text` is the start of
// a longer text, so a lead byte at its very end is half a character.
std::size_t GbkPrefixLength(std::string_view text, std::size_t limit, bool continues = false);

// Ids and names read from a disk are outside input: a line feed in a
// serial would start a forged line in the operation log. For the log, every
// control byte (below 0x20, and 0x7F) becomes kLogSubstitute. GBK never uses
// these bytes inside a character, so the rest of the text is untouched.
inline constexpr char kLogSubstitute = '?';
std::string LogSafeText(std::string_view text);

}  // namespace torvane::admission
