#pragma once
// One value of an operation's parameter record. Strings (and every type
// written as text) are UTF-16 and may be null; hexBinary and base64Binary
// are byte blocks that may be null; arrays hold their elements in order.
#include <cstdint>
#include <string>
#include <vector>

namespace torvane::soap {

struct SoapValue {
  enum class Kind { kNull, kBool, kFloat, kSigned, kUnsigned, kText, kBytes, kArray };

  Kind kind = Kind::kNull;
  bool boolean = false;
  double floating = 0;
  std::int64_t signed_value = 0;
  std::uint64_t unsigned_value = 0;
  std::u16string text;
  std::vector<std::uint8_t> bytes;
  std::vector<SoapValue> items;

  static SoapValue Null() { return {}; }
  static SoapValue Bool(bool v) { SoapValue s; s.kind = Kind::kBool; s.boolean = v; return s; }
  static SoapValue Float(double v) { SoapValue s; s.kind = Kind::kFloat; s.floating = v; return s; }
  static SoapValue Signed(std::int64_t v) { SoapValue s; s.kind = Kind::kSigned; s.signed_value = v; return s; }
  static SoapValue Unsigned(std::uint64_t v) { SoapValue s; s.kind = Kind::kUnsigned; s.unsigned_value = v; return s; }
  static SoapValue Text(std::u16string v) { SoapValue s; s.kind = Kind::kText; s.text = std::move(v); return s; }
  static SoapValue Bytes(std::vector<std::uint8_t> v) { SoapValue s; s.kind = Kind::kBytes; s.bytes = std::move(v); return s; }
  static SoapValue Array(std::vector<SoapValue> v) { SoapValue s; s.kind = Kind::kArray; s.items = std::move(v); return s; }

  bool is_null() const { return kind == Kind::kNull; }
};

// The values of one call, indexed by each descriptor's place.
using ParamRecord = std::vector<SoapValue>;

}  // namespace torvane::soap
