#pragma once
// Binds SecureDisk to the suite's library loaded at run time: "Selvik.dll"
// on Windows, "libSelvik.so" on POSIX. All ten functions must be present.
#include <memory>
#include <string>

#include "admission/secure_disk.h"

namespace torvane::admission {

// The library's file name on this platform.
const char* SelvikLibraryName();

// Where the library is loaded from: the host directory and its file name;
// empty when the host directory is unknown (then there is no library: a bare
// name would be found by the search order, current directory included).
std::string SelvikLibraryPath();

struct SelvikLoad {
  std::unique_ptr<SecureDisk> disk;  // null on failure
  std::string error;                 // "Error: ..." line for the operation log
};

// Loads the library from the full path `path` (anything else is refused)
// and resolves the ten functions by their undecorated names.
SelvikLoad LoadSelvikLibrary(const std::string& path);

}  // namespace torvane::admission
