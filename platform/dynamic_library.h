#pragma once
// A shared library loaded at run time from its full path, unloaded when the
// object goes. Symbols come back as a generic function pointer that the
// caller casts to the function's real type.
#include <memory>
#include <string>

namespace torvane::platform {

using GenericFunction = void (*)();

class DynamicLibrary {
 public:
  // Loads the library at the full path `path` (IsFullPath); a bare or
  // relative name is refused, never searched for. On Windows the library's
  // own dependencies are looked for in its folder and the system folder.
  // On failure the object holds nothing and error() says why.
  static DynamicLibrary Open(const std::string& path);

  DynamicLibrary(DynamicLibrary&&) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&&) noexcept;
  ~DynamicLibrary();

  bool loaded() const { return handle_ != nullptr; }
  const std::string& error() const { return error_; }

  // Whether the library at `path` is in this process now (it is not loaded
  // by asking).
  static bool Resident(const std::string& path);

  // The exported function `name`, or nullptr.
  GenericFunction Symbol(const char* name) const;

  struct Handle;

 private:
  DynamicLibrary(std::unique_ptr<Handle> handle, std::string error);
  std::unique_ptr<Handle> handle_;
  std::string error_;
};

}  // namespace torvane::platform
