#pragma once
// Binds SecureDisk to the suite's library loaded at run time: "Selvik.dll"
// on Windows, "libSelvik.so" on POSIX. All ten functions must be present.
#include <memory>
#include <string>

#include "admission/secure_disk.h"

namespace torvane::admission {

// The library's file name on this platform.
const char* SelvikLibraryName();

struct SelvikLoad {
  std::unique_ptr<SecureDisk> disk;  // null on failure
  std::string error;                 // "Error: ..." line for the operation log
};

// Loads the library from `path` (the platform's search rules apply to a bare
// name) and resolves the ten functions by their undecorated names.
SelvikLoad LoadSelvikLibrary(const std::string& path);

}  // namespace torvane::admission
