#include <iconv.h>

#include <cerrno>

#include "platform/codepage.h"

namespace torvane::platform {
namespace {

// One conversion descriptor per call: iconv state is not shared across threads.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) ::iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts `in`; an input unit that cannot be converted is skipped
  // (`skip` bytes) and `replacement` written in its place.
  std::string Run(std::string_view in, std::size_t skip, std::string_view replacement) {
    std::string out;
    char buf[1024];
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    while (left > 0) {
      char* dst = buf;
      std::size_t room = sizeof buf;
      const std::size_t r = ::iconv(cd_, &src, &left, &dst, &room);
      out.append(buf, static_cast<std::size_t>(dst - buf));
      if (r != static_cast<std::size_t>(-1)) break;
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (truncated sequence at the end): replace one unit.
      const std::size_t n = left < skip ? left : skip;
      src += n;
      left -= n;
      out.append(replacement);
      ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

constexpr char kAnsi[] = "GBK";

}  // namespace

std::u16string AnsiToUtf16(std::string_view ansi) {
  Converter c("UTF-16LE", kAnsi);
  if (!c.ok()) return {};
  const std::string bytes = c.Run(ansi, 1, std::string_view("?\0", 2));
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
  Converter c(kAnsi, "UTF-16LE");
  if (!c.ok()) return {};
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (const char16_t ch : text) {
    bytes += static_cast<char>(ch & 0xff);
    bytes += static_cast<char>(ch >> 8);
  }
  return c.Run(bytes, 2, "?");
}

bool IsAnsiLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

}  // namespace torvane::platform
