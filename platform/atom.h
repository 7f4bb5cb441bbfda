#pragma once
// Global atoms, looked up by name. Windows: the global atom table. POSIX: a
// file per atom under <state>/atoms, so that other processes see it too.
// Add and Delete are for the host program and tests; the library only looks.
#include <string>

namespace torvane::platform {

bool GlobalAtomExists(const std::string& name);
bool AddGlobalAtom(const std::string& name);
void DeleteGlobalAtom(const std::string& name);

}  // namespace torvane::platform
