#include "config/check_value.h"

#include "platform/registry.h"

namespace torvane::config {

int SetCheckValue(std::int32_t size) {
  auto key = platform::LocalMachineKey::OpenOrCreate(kCheckKey);
  if (!key) return -1;
  if (size >= 1) {
    key->SetDword(kCheckValue, static_cast<std::uint32_t>(size));
  } else {
    key->DeleteValue(kCheckValue);
  }
  return 0;
}

}  // namespace torvane::config
