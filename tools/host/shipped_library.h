#pragma once
// Where the host finds the shipped library: beside its own program, as a
// deployment lays it out (the build copies it there too).
#include <string>

#include "platform/host_dir.h"

namespace torvane::host {

#ifdef _WIN32
inline constexpr const char* kLibraryName = "Torvane.dll";
#else
inline constexpr const char* kLibraryName = "libTorvane.so";
#endif

inline std::string ShippedLibraryPath() { return platform::ExecutableDirectory() + kLibraryName; }

}  // namespace torvane::host
