// The SOAP reply parser's reference path: outputs given as href="#id" and
// their targets among the Body's children, with scalar, string and nullable
// outputs. Seeds and the dictionary carry the multiRef forms.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/sax_reader.h"
#include "soap/dedu_razivor.h"
#include "soap/response_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace torvane::soap;
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  auto reader = torvane::platform::CreateSaxReader();
  if (!reader) return 0;
  for (const std::size_t index : {std::size_t{kInfoWarn}, std::size_t{kGetPolicyTargetAddress}}) {
    const auto& op = DeduRazivorOperations()[index];
    ParamRecord record(op.record_size);
    const bool ok = ParseResponse(*reader, body, op, record);
    for (const auto& p : op.params) {
      if (!InReply(p)) continue;
      const SoapValue& v = record[p.place];
      // A failed parse leaves every output null; a successful one leaves
      // non-nullable outputs set.
      if (!ok && !v.is_null()) __builtin_trap();
      if (ok && !(p.flags & (kParamNullable | kParamNoMarshal)) && v.is_null()) __builtin_trap();
    }
  }
  return 0;
}
