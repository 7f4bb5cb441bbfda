// URL parser and redirect resolution: no crash, limits always held, and a
// failed parse leaves the record cleared.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "soap/url.h"

namespace {

using torvane::soap::Url;

void Check(bool ok, const Url& url) {
  using namespace torvane::soap;
  if (!ok) {
    if (url.scheme_number != kSchemeUnknown || url.port != 0 || !url.scheme_name.empty() || !url.host_name.empty() ||
        !url.user_name.empty() || !url.password.empty() || !url.path.empty() || !url.extra_info.empty())
      __builtin_trap();
    return;
  }
  if (url.scheme_name.size() > kMaxSchemeName || url.host_name.size() > kMaxHostName ||
      url.user_name.size() > kMaxUserName || url.password.size() > kMaxPassword || url.path.size() > kMaxUrlPath ||
      url.extra_info.size() > kMaxExtraInfo)
    __builtin_trap();
  if (url.password.size() != 0 && url.user_name.empty()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Url url;
  Check(torvane::soap::ParseUrl(text, url), url);

  static const Url base = [] {
    Url b;
    torvane::soap::ParseUrl("http://server:8080/WebDeduRazivor/services/DeduRazivor?q", b);
    return b;
  }();
  Url target;
  Check(torvane::soap::ResolveUrl(base, text, target), target);
  return 0;
}
