// The INI lookup over arbitrary file bytes, section and key names.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/posix/profile_ini.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  // Layout: section '\0' key '\0' file bytes (missing parts are empty).
  const std::size_t a = in.find('\0');
  const std::string_view section = in.substr(0, a);
  const std::string_view rest = a == std::string_view::npos ? std::string_view() : in.substr(a + 1);
  const std::size_t b = rest.find('\0');
  const std::string_view key = rest.substr(0, b);
  const std::string_view file = b == std::string_view::npos ? std::string_view() : rest.substr(b + 1);

  namespace ini = torvane::platform::ini;
  if (const auto value = ini::FindValue(file, section, key)) {
    for (const std::size_t limit : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{259}}) {
      const auto copied = ini::CopyEntry(*value, limit);
      if (limit > 0 && copied.size() >= limit) __builtin_trap();
    }
    (void)ini::ParseProfileInt(*value);
  }
  (void)ini::ParseProfileInt(file);
  return 0;
}
