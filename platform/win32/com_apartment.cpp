#include <objbase.h>
#include <windows.h>

#include "platform/com_apartment.h"

namespace torvane::platform {

// S_FALSE (already initialised on this thread) also needs its matching
// uninitialise; RPC_E_CHANGED_MODE does not.
ComApartment::ComApartment() : entered_(SUCCEEDED(::CoInitialize(nullptr))) {}

ComApartment::~ComApartment() {
  if (entered_) ::CoUninitialize();
}

}  // namespace torvane::platform
