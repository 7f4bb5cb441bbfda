#include "platform/sax_reader.h"

namespace torvane::platform {

const SaxAttribute* FindAttribute(std::span<const SaxAttribute> attributes,
                                  std::u16string_view uri, std::u16string_view localName) {
  for (const auto& a : attributes) {
    if (a.uri == uri && a.localName == localName) return &a;
  }
  return nullptr;
}

const SaxAttribute* FindAttributeByQName(std::span<const SaxAttribute> attributes,
                                         std::u16string_view qName) {
  for (const auto& a : attributes) {
    if (a.qName == qName) return &a;
  }
  return nullptr;
}

}  // namespace torvane::platform
