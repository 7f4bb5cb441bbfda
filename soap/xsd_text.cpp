#include "soap/xsd_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "soap/xsd_type.h"

namespace torvane::soap {
namespace {

constexpr char kUpperHex[] = "0123456789ABCDEF";

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendRef(std::string& out, std::uint32_t code, int digits) {
  char buf[16];
  const int n = std::snprintf(buf, sizeof buf, "&#x%0*X;", digits, static_cast<unsigned>(code));
  out.append(buf, static_cast<std::size_t>(n));
}

template <typename T>
void AppendInteger(std::string& out, T v) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

bool IsXmlSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f'; }

// Reply text as ASCII; false for anything else (no number contains it).
bool ToAscii(std::u16string_view text, std::string& out) {
  out.clear();
  for (const char16_t c : text) {
    if (c > 0x7E) return false;
    out.push_back(static_cast<char>(c));
  }
  return true;
}

// Leading white space, an optional sign, decimal digits, nothing after.
bool ParseSigned(std::u16string_view text, std::int64_t& value) {
  std::string s;
  if (!ToAscii(text, s)) return false;
  std::size_t i = 0;
  while (i < s.size() && IsXmlSpace(static_cast<char16_t>(s[i]))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i == s.size()) return false;
  std::uint64_t magnitude = 0;
  const auto r = std::from_chars(s.data() + i, s.data() + s.size(), magnitude);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
  constexpr std::uint64_t kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (negative) {
    if (magnitude > kMax + 1) return false;
    value = magnitude == kMax + 1 ? std::numeric_limits<std::int64_t>::min()
                                  : -static_cast<std::int64_t>(magnitude);
  } else {
    if (magnitude > kMax) return false;
    value = static_cast<std::int64_t>(magnitude);
  }
  return true;
}

bool ParseUnsigned(std::u16string_view text, std::uint64_t max, std::uint64_t& value) {
  std::string s;
  if (!ToAscii(text, s)) return false;
  std::size_t i = 0;
  while (i < s.size() && IsXmlSpace(static_cast<char16_t>(s[i]))) ++i;
  if (i < s.size() && s[i] == '+') ++i;
  if (i == s.size()) return false;
  const auto r = std::from_chars(s.data() + i, s.data() + s.size(), value);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && value <= max;
}

bool ParseDouble(std::u16string_view text, double& value) {
  std::string s;
  if (!ToAscii(text, s)) return false;
  if (s == "INF") return value = std::numeric_limits<double>::infinity(), true;
  if (s == "-INF") return value = -std::numeric_limits<double>::infinity(), true;
  if (s == "NaN") return value = std::numeric_limits<double>::quiet_NaN(), true;
  std::size_t i = 0;
  while (i < s.size() && IsXmlSpace(static_cast<char16_t>(s[i]))) ++i;
  if (i < s.size() && s[i] == '+') ++i;
  if (i == s.size()) return false;
  const char* first = s.data() + i;
  const char* last = s.data() + s.size();
  if (*first == 'i' || *first == 'I' || *first == 'n' || *first == 'N') return false;
  if (first + 1 < last && first[0] == '-' && (first[1] == 'i' || first[1] == 'I' || first[1] == 'n' || first[1] == 'N')) return false;
  const auto r = std::from_chars(first, last, value, std::chars_format::general);
  return r.ec == std::errc() && r.ptr == last;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

bool ParseHexBinary(std::u16string_view text, std::vector<std::uint8_t>& out) {
  if (text.size() % 2 != 0) return false;
  out.clear();
  out.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int hi = HexDigit(text[i]);
    const int lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
  }
  return true;
}

int Base64Digit(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c - u'A';
  if (c >= u'a' && c <= u'z') return c - u'a' + 26;
  if (c >= u'0' && c <= u'9') return c - u'0' + 52;
  if (c == u'+') return 62;
  if (c == u'/') return 63;
  return -1;
}

// White space (the line breaks) is skipped; "=" may only close the text.
bool ParseBase64(std::u16string_view text, std::vector<std::uint8_t>& out) {
  out.clear();
  std::uint32_t acc = 0;
  int bits = 0;
  int quad = 0;
  int padding = 0;
  for (const char16_t c : text) {
    if (IsXmlSpace(c)) continue;
    if (c == u'=') {
      ++padding;
      ++quad;
      continue;
    }
    if (padding > 0) return false;
    const int d = Base64Digit(c);
    if (d < 0) return false;
    acc = (acc << 6) | static_cast<std::uint32_t>(d);
    bits += 6;
    ++quad;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<std::uint8_t>((acc >> bits) & 0xFF));
    }
  }
  return quad % 4 == 0 && padding <= 2;
}

}  // namespace

std::size_t EscapedLength(std::u16string_view text) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'&') n += 5;
    else if (c == u'<' || c == u'>') n += 4;
    else if (c >= 0x20 && c <= 0x7E) n += 1;
    else if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) n += 10, ++i;
    else n += 8;
  }
  return n;
}

void AppendEscaped(std::u16string_view text, std::string& out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'&') {
      out += "&amp;";
    } else if (c == u'<') {
      out += "&lt;";
    } else if (c == u'>') {
      out += "&gt;";
    } else if (c >= 0x20 && c <= 0x7E) {
      out.push_back(static_cast<char>(c));
    } else if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
      const std::uint32_t cp = 0x10000u + (static_cast<std::uint32_t>(c) - 0xD800u) * 0x400u +
                               (static_cast<std::uint32_t>(text[i + 1]) - 0xDC00u);
      AppendRef(out, cp, 6);
      ++i;
    } else {
      AppendRef(out, c, 4);
    }
  }
}

std::string FormatXsdDouble(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return std::signbit(value) ? "-0" : "0";
  char buf[512];
  if (std::fabs(value) >= 0.1) {
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    std::string s(buf, r.ptr);
    if (s.find('.') != std::string::npos) {
      while (s.back() == '0') s.pop_back();
      if (s.back() == '.') s.pop_back();
    }
    return s;
  }
  // Shortest digits that read back to the same value, laid out as
  // mantissa "e" sign and three exponent digits; the mantissa keeps its point.
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  const std::string s(buf, r.ptr);
  const auto e = s.find('e');
  std::string mantissa = s.substr(0, e);
  if (mantissa.find('.') == std::string::npos) mantissa += '.';
  while (mantissa.back() == '0') mantissa.pop_back();
  const int exponent = std::stoi(s.substr(e + 1));
  char exp[16];
  const int n = std::snprintf(exp, sizeof exp, "e%c%03d", exponent < 0 ? '-' : '+',
                              exponent < 0 ? -exponent : exponent);
  return mantissa + std::string(exp, static_cast<std::size_t>(n));
}

std::string FormatHexBinary(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const auto b : bytes) {
    out.push_back(kUpperHex[b >> 4]);
    out.push_back(kUpperHex[b & 0xF]);
  }
  return out;
}

std::string FormatBase64(std::span<const std::uint8_t> bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4 + bytes.size() / 57 * 2 + 2);
  std::size_t line = 0;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
    std::uint32_t v = static_cast<std::uint32_t>(bytes[i]) << 16;
    if (n > 1) v |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
    if (n > 2) v |= bytes[i + 2];
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(n > 1 ? kAlphabet[(v >> 6) & 63] : '=');
    out.push_back(n > 2 ? kAlphabet[v & 63] : '=');
    line += 4;
    if (line == 76) {
      out += "\r\n";
      line = 0;
    }
  }
  return out;
}

namespace {

// The value range of each integer type; empty for the other types.
struct IntegerRange {
  bool is_signed;
  std::int64_t lo, hi;  // signed types
  std::uint64_t max;    // unsigned types
};

std::optional<IntegerRange> IntegerRangeOf(int type) {
  const auto sig = [](std::int64_t lo, std::int64_t hi) { return IntegerRange{true, lo, hi, 0}; };
  const auto uns = [](std::uint64_t max) { return IntegerRange{false, 0, 0, max}; };
  switch (type) {
    case kXsdInteger: case kXsdNonPositiveInteger: case kXsdNegativeInteger: case kXsdLong:
      return sig(std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max());
    case kXsdInt: return sig(INT32_MIN, INT32_MAX);
    case kXsdShort: return sig(INT16_MIN, INT16_MAX);
    case kXsdByte: return sig(INT8_MIN, INT8_MAX);
    case kXsdNonNegativeInteger: case kXsdUnsignedLong: case kXsdPositiveInteger:
      return uns(UINT64_MAX);
    case kXsdUnsignedInt: return uns(UINT32_MAX);
    case kXsdUnsignedShort: return uns(UINT16_MAX);
    case kXsdUnsignedByte: return uns(UINT8_MAX);
    default: return std::nullopt;
  }
}

}  // namespace

bool IsTextOrBinaryType(int type) {
  if (IntegerRangeOf(type)) return false;
  switch (type) {
    case kXsdBoolean: case kXsdFloat: case kXsdDouble: case kXsdDecimal:
      return false;
    default:
      return type >= 0 && type < kXsdTypeCount;
  }
}

bool AppendXsdText(int type, const SoapValue& v, std::string& out) {
  using K = SoapValue::Kind;
  auto signed_in = [&](std::int64_t lo, std::int64_t hi) {
    if (v.kind != K::kSigned || v.signed_value < lo || v.signed_value > hi) return false;
    AppendInteger(out, v.signed_value);
    return true;
  };
  auto unsigned_in = [&](std::uint64_t hi) {
    if (v.kind != K::kUnsigned || v.unsigned_value > hi) return false;
    AppendInteger(out, v.unsigned_value);
    return true;
  };
  if (const auto r = IntegerRangeOf(type)) return r->is_signed ? signed_in(r->lo, r->hi) : unsigned_in(r->max);
  switch (type) {
    case kXsdBoolean:
      if (v.kind != K::kBool) return false;
      out += v.boolean ? "true" : "false";
      return true;
    case kXsdFloat: case kXsdDouble: case kXsdDecimal:
      if (v.kind != K::kFloat) return false;
      out += FormatXsdDouble(type == kXsdFloat ? static_cast<double>(static_cast<float>(v.floating)) : v.floating);
      return true;
    case kXsdHexBinary:
      if (v.kind != K::kBytes) return false;
      out += FormatHexBinary(v.bytes);
      return true;
    case kXsdBase64Binary:
      if (v.kind != K::kBytes) return false;
      out += FormatBase64(v.bytes);
      return true;
    default:
      if (type < 0 || type >= kXsdTypeCount || v.kind != K::kText) return false;
      AppendEscaped(v.text, out);
      return true;
  }
}

bool ParseXsdText(int type, std::u16string_view text, SoapValue& out) {
  std::int64_t s = 0;
  std::uint64_t u = 0;
  auto signed_in = [&](std::int64_t lo, std::int64_t hi) {
    if (!ParseSigned(text, s) || s < lo || s > hi) return false;
    out = SoapValue::Signed(s);
    return true;
  };
  auto unsigned_in = [&](std::uint64_t hi) {
    if (!ParseUnsigned(text, hi, u)) return false;
    out = SoapValue::Unsigned(u);
    return true;
  };
  if (const auto r = IntegerRangeOf(type)) return r->is_signed ? signed_in(r->lo, r->hi) : unsigned_in(r->max);
  switch (type) {
    case kXsdBoolean:
      if (text == u"true" || text == u"1") return out = SoapValue::Bool(true), true;
      if (text == u"false" || text == u"0") return out = SoapValue::Bool(false), true;
      return false;
    case kXsdFloat: case kXsdDouble: case kXsdDecimal: {
      double d = 0;
      if (!ParseDouble(text, d)) return false;
      if (type == kXsdFloat && std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) return false;
      out = SoapValue::Float(d);
      return true;
    }
    case kXsdHexBinary: {
      std::vector<std::uint8_t> b;
      if (!ParseHexBinary(text, b)) return false;
      out = SoapValue::Bytes(std::move(b));
      return true;
    }
    case kXsdBase64Binary: {
      std::vector<std::uint8_t> b;
      if (!ParseBase64(text, b)) return false;
      out = SoapValue::Bytes(std::move(b));
      return true;
    }
    default:
      if (type < 0 || type >= kXsdTypeCount) return false;
      out = SoapValue::Text(std::u16string(text));
      return true;
  }
}

}  // namespace torvane::soap
