// URL parsing, left to right: scheme, optional "//", authority (user and
// password, host, port), path, then query and fragment as extra information.
#include "soap/url.h"

#include <array>
#include <cctype>
#include <new>

#include "soap/ascii.h"

namespace torvane::soap {
namespace {

struct SchemeEntry {
  std::string_view name;
  std::uint16_t port;
};

constexpr std::array<SchemeEntry, 8> kSchemes{{
    {"ftp", 21}, {"gopher", 70}, {"http", 80}, {"https", 443},
    {"file", 0}, {"news", 0}, {"mailto", 0}, {"socks", 1080},
}};

std::int32_t LookUpScheme(std::string_view name) {
  for (std::size_t i = 0; i < kSchemes.size(); ++i) {
    if (EqualsNoCase(kSchemes[i].name, name)) return static_cast<std::int32_t>(i);
  }
  return kSchemeUnknown;
}

bool IsSchemeChar(char c, bool first) {
  const auto u = static_cast<unsigned char>(c);
  if (std::isalpha(u)) return true;
  return !first && (std::isdigit(u) || c == '+' || c == '-' || c == '.');
}

// Spaces and control characters would break the request line or let a
// configured URL inject header lines, so no field may hold them.
bool HasUnsafeChar(std::string_view text) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F) return true;
  }
  return false;
}

bool ParsePort(std::string_view digits, std::uint16_t& port) {
  if (digits.empty() || digits.size() > 5) return false;
  std::uint32_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (value > 65535) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

// Splits "path?query#fragment" into path and extra information.
bool ParsePathAndExtra(std::string_view rest, Url& url) {
  const std::size_t mark = rest.find_first_of("?#");
  const std::string_view path = rest.substr(0, mark);
  const std::string_view extra = mark == std::string_view::npos ? std::string_view() : rest.substr(mark);
  if (path.size() > kMaxUrlPath || extra.size() > kMaxExtraInfo) return false;
  url.path.assign(path);
  url.extra_info.assign(extra);
  return true;
}

bool ParseAuthority(std::string_view authority, Url& url) {
  const std::size_t at = authority.find('@');
  if (at != std::string_view::npos) {
    if (authority.find('@', at + 1) != std::string_view::npos) return false;  // at most one user part
    const std::string_view userinfo = authority.substr(0, at);
    const std::size_t colon = userinfo.find(':');
    const std::string_view user = userinfo.substr(0, colon);
    const std::string_view password =
        colon == std::string_view::npos ? std::string_view() : userinfo.substr(colon + 1);
    if (user.empty() && colon != std::string_view::npos) return false;  // a password needs a user name
    if (user.size() > kMaxUserName || password.size() > kMaxPassword) return false;
    url.user_name.assign(user);
    url.password.assign(password);
    authority.remove_prefix(at + 1);
  }
  std::string_view host = authority;
  std::string_view port_text;
  bool has_port = false;
  if (!authority.empty() && authority.front() == '[') {  // bracketed IPv6 literal
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return false;
    host = authority.substr(0, close + 1);
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return false;
      port_text = after.substr(1);
      has_port = true;
    }
  } else {
    const std::size_t colon = authority.find(':');
    if (colon != std::string_view::npos) {
      host = authority.substr(0, colon);
      port_text = authority.substr(colon + 1);
      has_port = true;
    }
  }
  if (host.size() > kMaxHostName) return false;
  url.host_name.assign(host);
  if (has_port) return ParsePort(port_text, url.port);
  url.port = DefaultPort(url.scheme_number);
  return true;
}

bool ParseInto(std::string_view text, Url& url) {
  if (HasUnsafeChar(text)) return false;
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > kMaxSchemeName) return false;
  const std::string_view scheme = text.substr(0, colon);
  for (std::size_t i = 0; i < scheme.size(); ++i) {
    if (!IsSchemeChar(scheme[i], i == 0)) return false;
  }
  url.scheme_name.assign(scheme);
  url.scheme_number = LookUpScheme(scheme);
  std::string_view rest = text.substr(colon + 1);

  if (url.scheme_number == kSchemeFile) {  // everything after the scheme is path
    if (rest.size() > kMaxUrlPath) return false;
    url.path.assign(rest);
    return true;
  }
  if (rest.starts_with("//")) {
    if (url.scheme_number == kSchemeMailto) return false;
    rest.remove_prefix(2);
  }
  const std::size_t end = rest.find_first_of("/?#");
  if (!ParseAuthority(rest.substr(0, end), url)) return false;
  return end == std::string_view::npos || ParsePathAndExtra(rest.substr(end), url);
}

}  // namespace

std::uint16_t DefaultPort(std::int32_t scheme_number) {
  if (scheme_number < 0 || static_cast<std::size_t>(scheme_number) >= kSchemes.size()) return 0;
  return kSchemes[static_cast<std::size_t>(scheme_number)].port;
}

bool ParseUrl(std::string_view text, Url& url) {
  url.Clear();
  try {
    if (ParseInto(text, url)) return true;
  } catch (const std::bad_alloc&) {
  }
  url.Clear();
  return false;
}

namespace {

bool HasScheme(std::string_view reference) {
  const std::size_t colon = reference.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    if (!IsSchemeChar(reference[i], i == 0)) return false;
  }
  return true;
}

bool Resolve(const Url& base, std::string_view reference, Url& out) {
  if (HasScheme(reference)) return ParseUrl(reference, out);
  if (reference.starts_with("//")) return ParseUrl(base.scheme_name + ":" + std::string(reference), out);
  out.Clear();
  if (HasUnsafeChar(reference)) return false;
  const std::string_view path_part = reference.substr(0, reference.find_first_of("?#"));
  const std::string_view extra = reference.substr(path_part.size());
  std::string path;
  if (path_part.empty()) {
    path = base.path;  // "?query" or "#fragment" only: same document
  } else if (path_part.front() == '/') {
    path.assign(path_part);
  } else {  // relative to the directory of the current path
    const std::size_t slash = base.path.rfind('/');
    path = slash == std::string::npos ? std::string("/") : base.path.substr(0, slash + 1);
    path.append(path_part);
  }
  if (path.size() > kMaxUrlPath || extra.size() > kMaxExtraInfo) return false;
  Url joined = base;
  joined.path = std::move(path);
  joined.extra_info.assign(extra);
  out = std::move(joined);
  return true;
}

}  // namespace

bool ResolveUrl(const Url& base, std::string_view reference, Url& out) {
  try {
    return Resolve(base, reference, out);
  } catch (const std::bad_alloc&) {
    out.Clear();
    return false;
  }
}

bool SameOrigin(const Url& a, const Url& b) {
  return a.scheme_number == b.scheme_number && EqualsNoCase(a.host_name, b.host_name) && a.port == b.port;
}

}  // namespace torvane::soap
