#include <windows.h>

#include "platform/atom.h"

namespace torvane::platform {

bool GlobalAtomExists(const std::string& name) { return ::GlobalFindAtomA(name.c_str()) != 0; }

bool AddGlobalAtom(const std::string& name) { return ::GlobalAddAtomA(name.c_str()) != 0; }

void DeleteGlobalAtom(const std::string& name) {
  if (const ATOM atom = ::GlobalFindAtomA(name.c_str())) ::GlobalDeleteAtom(atom);
}

}  // namespace torvane::platform
