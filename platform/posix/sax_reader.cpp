// The SAX reader over expat. Names arrive as "uri\x01local\x01prefix"
// triplets in UTF-8 and are handed on as UTF-16.
#include <expat.h>

#include <climits>
#include <string>
#include <vector>

#include "platform/sax_reader.h"

namespace torvane::platform {
namespace {

constexpr char kSep = '\x01';

// Expat hands over well-formed UTF-8 only.
void AppendUtf8AsUtf16(std::string_view in, std::u16string& out) {
  std::size_t i = 0;
  while (i < in.size()) {
    const auto b = static_cast<unsigned char>(in[i]);
    char32_t cp = 0;
    std::size_t len = 1;
    if (b < 0x80) {
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1Fu;
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0Fu;
      len = 3;
    } else {
      cp = b & 0x07u;
      len = 4;
    }
    if (i + len > in.size()) len = in.size() - i;
    for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(in[i + k]) & 0x3Fu);
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
}

// Splits an expat triplet into its converted parts.
struct Name {
  std::u16string uri, local, qName;
};

Name SplitName(const XML_Char* raw) {
  const std::string_view s(raw);
  Name n;
  const auto first = s.find(kSep);
  if (first == std::string_view::npos) {
    AppendUtf8AsUtf16(s, n.local);
    n.qName = n.local;
    return n;
  }
  AppendUtf8AsUtf16(s.substr(0, first), n.uri);
  const auto rest = s.substr(first + 1);
  const auto second = rest.find(kSep);
  AppendUtf8AsUtf16(rest.substr(0, second), n.local);
  if (second != std::string_view::npos) {
    AppendUtf8AsUtf16(rest.substr(second + 1), n.qName);
    n.qName += u':';
  }
  n.qName += n.local;
  return n;
}

class ExpatParser {
 public:
  explicit ExpatParser(SaxHandler& handler)
      : parser_(XML_ParserCreateNS(nullptr, kSep)), handler_(handler) {}
  ~ExpatParser() {
    if (parser_) XML_ParserFree(parser_);
  }
  ExpatParser(const ExpatParser&) = delete;
  ExpatParser& operator=(const ExpatParser&) = delete;

  bool Run(std::string_view document) {
    if (!parser_ || document.empty() || document.size() > INT_MAX) return false;
    XML_SetUserData(parser_, this);
    XML_SetReturnNSTriplet(parser_, 1);
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetStartDoctypeDeclHandler(parser_, OnDoctype);
    XML_SetEntityDeclHandler(parser_, OnEntityDecl);
    XML_SetExternalEntityRefHandler(parser_, OnExternalEntity);
    XML_SetStartNamespaceDeclHandler(parser_, OnPrefix);
    XML_SetElementHandler(parser_, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser_, OnText);
    const auto status = XML_Parse(parser_, document.data(), static_cast<int>(document.size()), 1);
    return status == XML_STATUS_OK && !stopped_;
  }

 private:
  static ExpatParser& Self(void* data) { return *static_cast<ExpatParser*>(data); }

  void Stop() {
    if (!stopped_) {
      stopped_ = true;
      XML_StopParser(parser_, XML_FALSE);
    }
  }
  void Check(bool ok) {
    if (!ok) Stop();
  }

  static void XMLCALL OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*,
                                int) {
    Self(data).Stop();
  }
  static void XMLCALL OnEntityDecl(void* data, const XML_Char*, int, const XML_Char*, int,
                                   const XML_Char*, const XML_Char*, const XML_Char*,
                                   const XML_Char*) {
    Self(data).Stop();
  }
  static int XMLCALL OnExternalEntity(XML_Parser, const XML_Char*, const XML_Char*,
                                      const XML_Char*, const XML_Char*) {
    return XML_STATUS_ERROR;
  }
  static void XMLCALL OnPrefix(void* data, const XML_Char* prefix, const XML_Char* uri) {
    auto& self = Self(data);
    if (self.stopped_) return;
    std::u16string p, u;
    if (prefix) AppendUtf8AsUtf16(prefix, p);
    if (uri) AppendUtf8AsUtf16(uri, u);
    self.Check(self.handler_.StartPrefixMapping(p, u));
  }
  static void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** atts) {
    auto& self = Self(data);
    if (self.stopped_) return;
    const Name element = SplitName(name);
    std::vector<Name> names;
    std::vector<std::u16string> values;
    for (const XML_Char** a = atts; a && *a; a += 2) {
      names.push_back(SplitName(a[0]));
      values.emplace_back();
      AppendUtf8AsUtf16(a[1], values.back());
    }
    std::vector<SaxAttribute> attributes;
    attributes.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
      attributes.push_back({names[i].uri, names[i].local, names[i].qName, values[i]});
    }
    self.Check(self.handler_.StartElement(element.uri, element.local, element.qName, attributes));
  }
  static void XMLCALL OnEnd(void* data, const XML_Char* name) {
    auto& self = Self(data);
    if (self.stopped_) return;
    const Name element = SplitName(name);
    self.Check(self.handler_.EndElement(element.uri, element.local));
  }
  static void XMLCALL OnText(void* data, const XML_Char* s, int len) {
    auto& self = Self(data);
    if (self.stopped_ || len <= 0) return;
    std::u16string text;
    AppendUtf8AsUtf16(std::string_view(s, static_cast<std::size_t>(len)), text);
    self.Check(self.handler_.Characters(text));
  }

  XML_Parser parser_;
  SaxHandler& handler_;
  bool stopped_ = false;
};

class ExpatReader final : public SaxReader {
 public:
  bool Parse(std::string_view document, SaxHandler& handler) override {
    ExpatParser parser(handler);
    return parser.Run(document);
  }
};

}  // namespace

std::unique_ptr<SaxReader> CreateSaxReader() { return std::make_unique<ExpatReader>(); }

}  // namespace torvane::platform
