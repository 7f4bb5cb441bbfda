#include "soap/request_writer.h"

#include <new>
#include <stdexcept>

#include "soap/xsd_text.h"
#include "soap/xsd_type.h"

namespace torvane::soap {
namespace {

class Writer {
 public:
  Writer(const ParamRecord& record, std::string& out) : record_(record), out_(out) {}

  bool Param(const ParamDescriptor& p, bool header) {
    if (p.place >= record_.size()) return false;
    const SoapValue& value = record_[p.place];
    const std::string_view name = (p.flags & kParamReturn) ? std::string_view("return") : p.name;
    const bool qualified = !p.ns.empty();
    out_ += '<';
    if (qualified) out_ += "snp:";
    out_ += name;
    if (qualified) {
      out_ += " xmlns:snp=\"";
      out_ += p.ns;
      out_ += '"';
    }
    if (header && (p.flags & kParamMustUnderstand)) out_ += " soap:mustUnderstand=\"1\"";

    const bool dynamic = (p.flags & kParamDynamicArray) != 0;
    const bool fixed = (p.flags & kParamFixedArray) != 0;
    if (value.is_null()) {
      if (!dynamic && !IsTextOrBinaryType(p.type)) return false;  // never nil
      out_ += " xsi:nil=\"1\"/>";
      return true;
    }
    if (dynamic || fixed) {
      if (!Array(p, value, fixed)) return false;
    } else {
      out_ += '>';
      if (!Scalar(p.type, value)) return false;
    }
    out_ += "</";
    if (qualified) out_ += "snp:";
    out_ += name;
    out_ += '>';
    return true;
  }

 private:
  bool Scalar(int type, const SoapValue& value) {
    if (value.kind == SoapValue::Kind::kText && IsTextOrBinaryType(type) &&
        type != kXsdHexBinary && type != kXsdBase64Binary) {
      // Measured first: text that needs no escaping is copied as it is.
      const std::size_t escaped = EscapedLength(value.text);
      if (escaped == value.text.size()) {
        for (const char16_t c : value.text) out_.push_back(static_cast<char>(c));
        return true;
      }
      out_.reserve(out_.size() + escaped);
    }
    return AppendXsdText(type, value, out_);
  }

  bool Array(const ParamDescriptor& p, const SoapValue& value, bool fixed) {
    if (value.kind != SoapValue::Kind::kArray) return false;
    const std::string_view type_name = XsdTypeName(p.type);
    if (type_name.empty()) return false;
    std::string dims;
    if (fixed) {
      std::size_t count = 1;
      for (std::size_t i = 0; i < p.dims.size(); ++i) {
        if (i) dims += ", ";
        dims += std::to_string(p.dims[i]);
        count *= p.dims[i];
      }
      if (p.dims.empty() || count != value.items.size()) return false;
    } else {
      dims = std::to_string(value.items.size());
    }
    if (!value.items.empty()) {
      out_ += " soapenc:arrayType=\"xsd:";
      out_ += type_name;
      out_ += '[';
      out_ += dims;
      out_ += "]\"";
    }
    out_ += '>';
    for (const SoapValue& item : value.items) {
      out_ += '<';
      out_ += type_name;
      if (item.is_null()) {
        if (!IsTextOrBinaryType(p.type)) return false;
        out_ += " xsi:nil=\"1\">";
      } else {
        out_ += '>';
        if (!Scalar(p.type, item)) return false;
      }
      out_ += "</";
      out_ += type_name;
      out_ += '>';
    }
    return true;
  }

  const ParamRecord& record_;
  std::string& out_;
};

}  // namespace

WriteResult WriteRequest(const OperationDescriptor& op, const ParamRecord& record, std::string& out) {
  try {
    Writer writer(record, out);
    out += kEnvelopeStart;
    bool any_header = false;
    for (const auto& h : op.headers) any_header = any_header || InRequest(h);
    if (any_header) {
      out += "<soap:Header>";
      for (const auto& h : op.headers) {
        if (InRequest(h) && !writer.Param(h, true)) return WriteResult::kBadValue;
      }
      out += "</soap:Header>";
    }
    out += kEncodedBodyStart;
    out += "<snp:";
    out += op.name;
    out += " xmlns:snp=\"";
    out += op.ns;
    out += "\">";
    for (const auto& p : op.params) {
      if (InRequest(p) && !writer.Param(p, false)) return WriteResult::kBadValue;
    }
    out += "</snp:";
    out += op.name;
    out += "></soap:Body></soap:Envelope>";
    return WriteResult::kOk;
  } catch (const std::bad_alloc&) {
    return WriteResult::kOutOfMemory;
  } catch (const std::length_error&) {
    return WriteResult::kOutOfMemory;
  }
}

}  // namespace torvane::soap
