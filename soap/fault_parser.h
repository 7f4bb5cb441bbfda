#pragma once
// Reads the SOAP fault of a status 500 reply.
#include <string>
#include <string_view>
#include <vector>

#include "platform/sax_reader.h"

namespace torvane::soap {

enum FaultCode : int {
  kFaultUnknown = 0,
  kFaultVersionMismatch = 100,
  kFaultMustUnderstand = 200,
  kFaultClient = 300,
  kFaultServer = 400,
};

// The standard text of a fault code number; empty for others.
std::string_view FaultCodeText(int code);

struct SoapFault {
  int code = kFaultUnknown;
  std::u16string code_text;     // the faultcode as the server wrote it
  std::u16string fault_string;  // the server's own text
  std::u16string fault_actor;
  std::u16string detail;        // the detail's content as XML text
  bool has_code = false, has_string = false, has_actor = false, has_detail = false;

  void Clear() { *this = SoapFault{}; }
};

class FaultHandler final : public platform::SaxHandler {
 public:
  explicit FaultHandler(SoapFault& fault) : fault_(fault) {}

  bool StartPrefixMapping(std::u16string_view prefix, std::u16string_view uri) override;
  bool StartElement(std::u16string_view uri, std::u16string_view localName,
                    std::u16string_view qName,
                    std::span<const platform::SaxAttribute> attributes) override;
  bool EndElement(std::u16string_view uri, std::u16string_view localName) override;
  bool Characters(std::u16string_view text) override;

 private:
  bool Hand(int level, std::u16string_view text);

  SoapFault& fault_;
  std::u16string envelope_prefix_;
  bool have_prefix_ = false;
  int level_ = 0;
  int skip_ = 0;
  int collecting_ = 0;                     // level of the element being collected
  std::vector<std::u16string> children_;   // open child elements inside it
  std::u16string text_;
};

// Clears `fault` and parses `body` into it.
bool ParseFault(platform::SaxReader& reader, std::string_view body, SoapFault& fault);

}  // namespace torvane::soap
