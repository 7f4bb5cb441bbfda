#pragma once
// The URL record the HTTP client sends to, and its parser. Only the
// "http://host[:port]/path[?query]" form is used by the service client; the
// other forms are parsed soundly but loosely. No percent-decoding is done.
#include <cstdint>
#include <string>
#include <string_view>

namespace torvane::soap {

// Scheme numbers (index in the scheme table); -1 for any other scheme.
enum SchemeNumber : std::int32_t {
  kSchemeUnknown = -1,
  kSchemeFtp = 0,
  kSchemeGopher = 1,
  kSchemeHttp = 2,
  kSchemeHttps = 3,
  kSchemeFile = 4,
  kSchemeNews = 5,
  kSchemeMailto = 6,
  kSchemeSocks = 7,
};

// Longest text the parser accepts for each field.
inline constexpr std::size_t kMaxSchemeName = 32;
inline constexpr std::size_t kMaxHostName = 256;
inline constexpr std::size_t kMaxUserName = 128;
inline constexpr std::size_t kMaxPassword = 128;
inline constexpr std::size_t kMaxUrlPath = 2048;
inline constexpr std::size_t kMaxExtraInfo = 2048;

struct Url {
  std::string scheme_name;                  // as written
  std::int32_t scheme_number = kSchemeUnknown;
  std::string host_name;                    // as written, without the port
  std::string user_name;
  std::string password;
  std::string path;                         // starts with "/" (or empty)
  std::string extra_info;                   // query and fragment, from "?" or "#"
  std::uint16_t port = 0;                   // from the URL, else the scheme's default

  void Clear() { *this = Url{}; }
};

// Clears `url`, then parses `text` into it. On failure returns false and
// leaves `url` cleared.
bool ParseUrl(std::string_view text, Url& url);

// Default port of a scheme number (0 for unknown schemes).
std::uint16_t DefaultPort(std::int32_t scheme_number);

// Resolves a redirect target against `base`: a reference with a scheme is
// parsed on its own; "//host/..." keeps the scheme; "/path" keeps scheme,
// host and port; any other path is joined to the directory of base's path.
// On failure returns false and leaves `out` cleared.
bool ResolveUrl(const Url& base, std::string_view reference, Url& out);

// Whether two URLs name the same server: scheme, host (any case) and port.
bool SameOrigin(const Url& a, const Url& b);

}  // namespace torvane::soap
