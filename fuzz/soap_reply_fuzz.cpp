// The SOAP reply parser over the POSIX XML reader, with the infoWarn outputs
// and with an operation that reads strings back.
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
  for (const std::size_t index : {std::size_t{kInfoWarn}, std::size_t{kGetComputerDomainInfo}}) {
    const auto& op = DeduRazivorOperations()[index];
    ParamRecord record(op.record_size);
    const bool ok = ParseResponse(*reader, body, op, record);
    // A successful parse always leaves the return value set.
    if (ok && record[op.params.size() - 1].kind != SoapValue::Kind::kSigned) __builtin_trap();
  }
  return 0;
}
