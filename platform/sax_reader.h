#pragma once
// An event-driven (SAX) XML reader over a byte buffer, with namespace
// processing. Names and texts reach the handler as UTF-16; namespace
// declarations come as prefix mappings, never as attributes. A document that
// carries a document type declaration is refused before any of its entities
// could be expanded or any external resource read.
#include <memory>
#include <span>
#include <string_view>

namespace torvane::platform {

struct SaxAttribute {
  std::u16string_view uri;        // empty when the attribute has no namespace
  std::u16string_view localName;
  std::u16string_view qName;      // prefix:local as written
  std::u16string_view value;
};

// Every callback returns false to stop the parse; Parse then fails.
class SaxHandler {
 public:
  virtual ~SaxHandler() = default;
  virtual bool StartPrefixMapping(std::u16string_view prefix, std::u16string_view uri) = 0;
  virtual bool StartElement(std::u16string_view uri, std::u16string_view localName,
                            std::u16string_view qName,
                            std::span<const SaxAttribute> attributes) = 0;
  virtual bool EndElement(std::u16string_view uri, std::u16string_view localName) = 0;
  virtual bool Characters(std::u16string_view text) = 0;
};

class SaxReader {
 public:
  virtual ~SaxReader() = default;
  // Parses the whole of `document`, reporting to `handler`. False when the
  // document is not well-formed, is empty, carries a DTD, or the handler
  // stopped the parse.
  virtual bool Parse(std::string_view document, SaxHandler& handler) = 0;
};

// The platform's reader (COM must be initialised on the calling thread on
// Windows); null when it cannot be created.
std::unique_ptr<SaxReader> CreateSaxReader();

// Looks up an attribute by namespace and local name, or by qualified name.
const SaxAttribute* FindAttribute(std::span<const SaxAttribute> attributes,
                                  std::u16string_view uri, std::u16string_view localName);
const SaxAttribute* FindAttributeByQName(std::span<const SaxAttribute> attributes,
                                         std::u16string_view qName);

}  // namespace torvane::platform
