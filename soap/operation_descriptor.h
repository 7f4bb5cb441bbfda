#pragma once
// Descriptor tables that drive the request writer and the response parser:
// one operation descriptor per operation, one parameter descriptor per
// parameter in wire order.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace torvane::soap {

// hash = hash * 33 + code, unsigned 32-bit, over 8-bit text or UTF-16 units.
constexpr std::uint32_t NameHash(std::string_view name) {
  std::uint32_t h = 0;
  for (const char c : name) h = h * 33u + static_cast<unsigned char>(c);
  return h;
}
constexpr std::uint32_t NameHash(std::u16string_view name) {
  std::uint32_t h = 0;
  for (const char16_t c : name) h = h * 33u + c;
  return h;
}

enum ParamFlag : unsigned {
  kParamIn = 1u << 0,
  kParamOut = 1u << 1,
  kParamReturn = 1u << 2,         // written as "return" in a request
  kParamNullable = 1u << 3,       // null goes out as nil; a nil reply is accepted
  kParamDynamicArray = 1u << 4,
  kParamFixedArray = 1u << 5,
  kParamMustUnderstand = 1u << 6, // header entries only
  kParamNoMarshal = 1u << 7,
  kParamRpc = 1u << 8,
  kParamEncoded = 1u << 9,
};

enum StyleFlag : unsigned {
  kStyleRpc = 1u << 0,
  kStyleEncoded = 1u << 1,
};

struct ParamDescriptor {
  std::uint32_t name_hash = 0;
  std::string_view name;
  std::u16string_view wide_name;
  int type = 0;                           // XsdType
  unsigned flags = 0;                     // ParamFlag
  std::size_t place = 0;                  // index in the call's ParamRecord
  std::span<const std::size_t> dims;      // fixed array dimensions
  std::string_view ns;                    // empty: unqualified element
};

enum class DescriptorKind { kOperation, kStructure, kEnumeration, kHeaderTable };

struct OperationDescriptor {
  std::uint32_t name_hash = 0;
  std::string_view name;
  std::u16string_view wide_name;
  DescriptorKind kind = DescriptorKind::kOperation;
  std::span<const ParamDescriptor> params;
  std::size_t record_size = 0;            // values in the call's ParamRecord
  std::size_t output_count = 0;
  unsigned style = 0;                     // StyleFlag
  std::string_view ns;
  std::u16string_view wide_ns;
  std::uint32_t ns_hash = 0;
  std::span<const ParamDescriptor> headers;
};

// The request carries parameters marked in (with or without out), never
// no-marshal ones; the reply those marked out or not marked in.
constexpr bool InRequest(const ParamDescriptor& p) {
  return (p.flags & kParamIn) && !(p.flags & kParamNoMarshal);
}
constexpr bool InReply(const ParamDescriptor& p) {
  return (p.flags & kParamOut) || !(p.flags & kParamIn);
}

}  // namespace torvane::soap
