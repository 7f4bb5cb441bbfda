// The config tool's own reading of a configuration file: where a key is
// written, and what a value's bytes look like.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/host/config_origin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  const auto origin = torvane::host::LocateKey(file, "KOLMERA", "WebAddress");
  if (origin.present && origin.writtenKey.size() != 10) __builtin_trap();
  (void)torvane::host::EncodingNote(file);
  return 0;
}
