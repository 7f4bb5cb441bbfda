#pragma once
// Reads a SOAP 1.1 rpc/encoded reply into the outputs of the operation that
// was called: the return value and the in/out parameters.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sax_reader.h"
#include "soap/multi_ref.h"
#include "soap/operation_descriptor.h"
#include "soap/soap_value.h"

namespace torvane::soap {

class ResponseHandler final : public platform::SaxHandler {
 public:
  ResponseHandler(const OperationDescriptor& op, ParamRecord& record);

  bool StartPrefixMapping(std::u16string_view, std::u16string_view) override { return true; }
  bool StartElement(std::u16string_view uri, std::u16string_view localName,
                    std::u16string_view qName,
                    std::span<const platform::SaxAttribute> attributes) override;
  bool EndElement(std::u16string_view uri, std::u16string_view localName) override;
  bool Characters(std::u16string_view text) override;

  // True once the response element has been read and verified, and every
  // output it gave by reference has its value.
  bool complete() const { return state_ == State::kAfterResponse && refs_.references().empty(); }

 private:
  enum class State { kStart, kEnvelope, kHeader, kAfterHeader, kBody, kResponse, kAfterResponse };

  bool EnvelopeElement(std::u16string_view uri, std::u16string_view localName);
  bool HeaderEntry(std::span<const platform::SaxAttribute> attributes);
  bool OpenResponse();
  bool OutputElement(std::u16string_view localName,
                     std::span<const platform::SaxAttribute> attributes);
  bool CloseValue();
  bool CloseResponse();
  bool OpenTarget(std::span<const platform::SaxAttribute> attributes);
  bool ResolveReferences();

  const OperationDescriptor& op_;
  ParamRecord& record_;
  State state_ = State::kStart;
  int depth_ = 0;                 // open elements not being skipped
  int skip_ = 0;                  // open elements inside a skipped one
  int response_depth_ = 0;
  std::vector<bool> seen_;        // per descriptor of the operation
  bool in_value_ = false;         // inside an output element
  bool no_children_ = false;
  bool data_expected_ = false;
  const ParamDescriptor* value_ = nullptr;  // null inside a nil element
  std::u16string text_;
  MultiRefTable refs_;
  bool in_reference_ = false;     // inside an output given by reference
  bool in_target_ = false;        // inside an independent element of the Body
  int target_depth_ = 0;
};

// Clears the outputs of `record`, then parses `body`. On failure the outputs
// are cleared again. Fails also when the reply holds no response element.
bool ParseResponse(platform::SaxReader& reader, std::string_view body,
                   const OperationDescriptor& op, ParamRecord& record);

// Sets every output of `op` in `record` to null.
void ClearOutputs(const OperationDescriptor& op, ParamRecord& record);

}  // namespace torvane::soap
