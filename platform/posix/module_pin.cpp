#include <dlfcn.h>

#include "platform/module_pin.h"

namespace torvane::platform {

bool PinLibraryModule() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<const void*>(&PinLibraryModule), &info) == 0 || !info.dli_fname) return false;
  // Reopening the object already loaded with RTLD_NODELETE marks it never to
  // be unmapped; the extra reference is kept on purpose.
  void* handle = ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  return handle != nullptr;
}

}  // namespace torvane::platform
