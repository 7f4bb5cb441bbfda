#include "soap/response_parser.h"

#include <new>

#include "soap/soap_namespaces.h"
#include "soap/xsd_text.h"
#include "soap/xsd_type.h"

namespace torvane::soap {
namespace {

bool IsTrue(std::u16string_view v) { return v == u"true" || v == u"1"; }
bool IsFalse(std::u16string_view v) { return v == u"false" || v == u"0"; }

bool NameIs(std::u16string_view name, std::uint32_t hash, std::u16string_view expected) {
  return NameHash(name) == hash && name == expected;
}

}  // namespace

ResponseHandler::ResponseHandler(const OperationDescriptor& op, ParamRecord& record)
    : op_(op), record_(record), seen_(op.params.size(), false) {}

bool ResponseHandler::StartElement(std::u16string_view uri, std::u16string_view localName,
                                   std::u16string_view,
                                   std::span<const platform::SaxAttribute> attributes) {
  if (skip_ > 0) {
    ++skip_;
    return true;
  }
  if (in_target_) {
    // A target with child elements holds no scalar; only a reference to it
    // fails, later.
    refs_.MarkComplex();
    skip_ = 1;
    return true;
  }
  if (no_children_ || data_expected_) return false;
  ++depth_;
  switch (state_) {
    case State::kStart:
    case State::kEnvelope:
    case State::kAfterHeader:
      return EnvelopeElement(uri, localName);
    case State::kHeader:
      return HeaderEntry(attributes);
    case State::kBody:
      // A child of the Body with an id is a target of references; the first
      // without one is the response element.
      if (platform::FindAttributeByQName(attributes, u"id")) return OpenTarget(attributes);
      return OpenResponse();
    case State::kResponse:
      return OutputElement(localName, attributes);
    case State::kAfterResponse:
      if (depth_ == response_depth_ && platform::FindAttributeByQName(attributes, u"id"))
        return OpenTarget(attributes);
      // Anything else after the response element is not ours to read.
      --depth_;
      skip_ = 1;
      return true;
  }
  return false;
}

bool ResponseHandler::EnvelopeElement(std::u16string_view uri, std::u16string_view localName) {
  if (uri != kSoapEnvelopeNs) return false;
  if (NameIs(localName, NameHash(u"Envelope"), u"Envelope")) {
    if (state_ != State::kStart) return false;
    state_ = State::kEnvelope;
  } else if (NameIs(localName, NameHash(u"Header"), u"Header")) {
    if (state_ != State::kEnvelope) return false;
    state_ = State::kHeader;
  } else if (NameIs(localName, NameHash(u"Body"), u"Body")) {
    if (state_ == State::kStart) return false;
    state_ = State::kBody;
  }
  return true;
}

// No operation of this client expects a header, so every header entry is a
// foreign one: refused when it must be understood, else skipped whole.
bool ResponseHandler::HeaderEntry(std::span<const platform::SaxAttribute> attributes) {
  if (const auto* mu = platform::FindAttribute(attributes, kSoapEnvelopeNs, u"mustUnderstand")) {
    if (!IsFalse(mu->value)) return false;
  }
  --depth_;
  skip_ = 1;
  return true;
}

bool ResponseHandler::OpenResponse() {
  // The operation was chosen before the call: the element's name is not
  // compared with anything.
  ClearOutputs(op_, record_);
  seen_.assign(op_.params.size(), false);
  response_depth_ = depth_;
  state_ = State::kResponse;
  return true;
}

bool ResponseHandler::OutputElement(std::u16string_view localName,
                                    std::span<const platform::SaxAttribute> attributes) {
  const std::uint32_t hash = NameHash(localName);
  std::size_t index = op_.params.size();
  for (std::size_t i = 0; i < op_.params.size(); ++i) {
    const auto& p = op_.params[i];
    if (InReply(p) && p.name_hash == hash && p.wide_name == localName) {
      index = i;
      break;
    }
  }
  if (index == op_.params.size() || seen_[index]) return false;
  seen_[index] = true;
  const ParamDescriptor& p = op_.params[index];
  if (p.place >= record_.size()) return false;
  if (p.flags & (kParamDynamicArray | kParamFixedArray)) return false;
  in_value_ = true;
  no_children_ = true;
  text_.clear();
  if (const auto* href = platform::FindAttributeByQName(attributes, u"href")) {
    // The value comes with the target, read when the Body ends.
    value_ = nullptr;
    in_reference_ = true;
    return refs_.AddReference(href->value, index);
  }
  if (const auto* nil = platform::FindAttribute(attributes, kXsiNs, u"nil");
      nil && IsTrue(nil->value)) {
    if (!(p.flags & kParamNullable)) return false;
    value_ = nullptr;
    return true;
  }
  value_ = &p;
  data_expected_ = !IsTextOrBinaryType(p.type);
  return true;
}

bool ResponseHandler::EndElement(std::u16string_view uri, std::u16string_view localName) {
  if (skip_ > 0) {
    --skip_;
    return true;
  }
  if (in_target_ && depth_ == target_depth_) {
    in_target_ = false;
    --depth_;
    return true;
  }
  if (data_expected_) return false;  // a scalar without any text
  bool ok = true;
  // Every reference must be resolved by the end of the Body.
  if (state_ == State::kAfterResponse && depth_ == response_depth_ - 1 && uri == kSoapEnvelopeNs &&
      localName == u"Body")
    ok = ResolveReferences();
  if (in_value_ && depth_ == response_depth_ + 1) {
    ok = CloseValue();
  } else if (state_ == State::kResponse && depth_ == response_depth_) {
    ok = CloseResponse();
  } else if (state_ == State::kHeader && uri == kSoapEnvelopeNs && localName == u"Header") {
    state_ = State::kAfterHeader;
  }
  --depth_;
  return ok;
}

bool ResponseHandler::CloseValue() {
  in_value_ = false;
  in_reference_ = false;
  no_children_ = false;
  const ParamDescriptor* p = value_;
  value_ = nullptr;
  if (!p) return true;  // nil: the value stays null
  SoapValue v;
  if (!ParseXsdText(p->type, text_, v)) return false;
  record_[p->place] = std::move(v);
  return true;
}

bool ResponseHandler::CloseResponse() {
  for (std::size_t i = 0; i < op_.params.size(); ++i) {
    const auto& p = op_.params[i];
    if (InReply(p) && !seen_[i] && !(p.flags & (kParamNullable | kParamNoMarshal))) return false;
  }
  state_ = State::kAfterResponse;
  return true;
}

bool ResponseHandler::OpenTarget(std::span<const platform::SaxAttribute> attributes) {
  // A target that is itself a reference would start a chain: refused.
  if (platform::FindAttributeByQName(attributes, u"href")) return false;
  const auto* nil = platform::FindAttribute(attributes, kXsiNs, u"nil");
  if (!refs_.OpenTarget(platform::FindAttributeByQName(attributes, u"id")->value,
                        nil && IsTrue(nil->value)))
    return false;
  in_target_ = true;
  target_depth_ = depth_;
  return true;
}

bool ResponseHandler::ResolveReferences() {
  for (const auto& ref : refs_.references()) {
    const MultiRefTable::Target* target = refs_.Take(ref.id);
    if (!target || !target->simple) return false;
    const ParamDescriptor& p = op_.params[ref.param];
    if (target->nil) {
      if (!(p.flags & kParamNullable)) return false;
      continue;  // the value stays null
    }
    SoapValue v;
    if (!ParseXsdText(p.type, target->text, v)) return false;
    record_[p.place] = std::move(v);
  }
  refs_.Clear();
  return true;
}

bool ResponseHandler::Characters(std::u16string_view text) {
  if (skip_ == 0 && in_target_) {
    refs_.AppendText(text);
    return true;
  }
  // A reference has no content of its own.
  if (skip_ == 0 && in_reference_)
    return text.find_first_not_of(u" \t\r\n") == std::u16string_view::npos;
  if (skip_ > 0 || !in_value_ || !value_) return true;  // white space between elements
  text_.append(text);
  data_expected_ = false;
  return true;
}

void ClearOutputs(const OperationDescriptor& op, ParamRecord& record) {
  for (const auto& p : op.params) {
    if (InReply(p) && p.place < record.size()) record[p.place] = SoapValue::Null();
  }
}

bool ParseResponse(platform::SaxReader& reader, std::string_view body,
                   const OperationDescriptor& op, ParamRecord& record) {
  bool ok = false;
  try {
    ClearOutputs(op, record);
    ResponseHandler handler(op, record);
    ok = reader.Parse(body, handler) && handler.complete();
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  if (!ok) ClearOutputs(op, record);
  return ok;
}

}  // namespace torvane::soap
