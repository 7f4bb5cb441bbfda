#include <windows.h>

#include "platform/module_pin.h"

namespace torvane::platform {

bool PinLibraryModule() {
  HMODULE self = nullptr;
  // Found by an address inside it, so this is the library even when the host
  // loaded it under another name. A pinned module ignores FreeLibrary.
  const BOOL ok = ::GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
      reinterpret_cast<LPCWSTR>(reinterpret_cast<const void*>(&PinLibraryModule)), &self);
  return ok != FALSE;
}

}  // namespace torvane::platform
