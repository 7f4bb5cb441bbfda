#pragma once
// The Torvane.dll of this build, loaded by its full path.
#include <windows.h>

#include <string>

namespace torvane::test {

inline constexpr const char* kShippedLibraryPath = TORVANE_DLL_PATH;

inline HMODULE LoadShippedLibrary() { return ::LoadLibraryA(kShippedLibraryPath); }

}  // namespace torvane::test
