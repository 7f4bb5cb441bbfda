// The SOAP fault parser over the POSIX XML reader.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/sax_reader.h"
#include "soap/fault_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  auto reader = torvane::platform::CreateSaxReader();
  if (!reader) return 0;
  torvane::soap::SoapFault fault;
  torvane::soap::ParseFault(*reader, body, fault);
  return 0;
}
