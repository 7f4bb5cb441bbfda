#include <windows.h>

#include "platform/dynamic_library.h"
#include "platform/host_dir.h"

namespace torvane::platform {

struct DynamicLibrary::Handle {
  explicit Handle(HMODULE value) : h(value) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { ::FreeLibrary(h); }
  HMODULE h;
};

DynamicLibrary::DynamicLibrary(std::unique_ptr<Handle> handle, std::string error)
    : handle_(std::move(handle)), error_(std::move(error)) {}
DynamicLibrary::DynamicLibrary(DynamicLibrary&&) noexcept = default;
DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&&) noexcept = default;
DynamicLibrary::~DynamicLibrary() = default;

namespace {

#ifndef LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100
#endif
#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// The LOAD_LIBRARY_SEARCH_* flags are understood where AddDllDirectory
// exists (Windows 8, and Windows 7 with its loader update).
bool RestrictedSearchAvailable() {
  const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  return kernel != nullptr && ::GetProcAddress(kernel, "AddDllDirectory") != nullptr;
}

}  // namespace

DynamicLibrary DynamicLibrary::Open(const std::string& path) {
  if (!IsFullPath(path)) return DynamicLibrary(nullptr, "not a full path: " + path);
  // The library's own dependencies are looked for in its folder and the
  // system folder only; where those flags are unknown, its folder first and
  // then the usual order (the library itself is named by full path anyway).
  const DWORD flags = RestrictedSearchAvailable()
                          ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32
                          : LOAD_WITH_ALTERED_SEARCH_PATH;
  std::string native = path;  // the loader wants backslashes
  for (char& c : native) {
    if (c == '/') c = '\\';
  }
  HMODULE h = ::LoadLibraryExA(native.c_str(), nullptr, flags);
  if (!h) {
    return DynamicLibrary(nullptr, "cannot load " + path + " (error " +
                                       std::to_string(::GetLastError()) + ")");
  }
  return DynamicLibrary(std::make_unique<Handle>(h), {});
}

bool DynamicLibrary::Resident(const std::string& path) { return ::GetModuleHandleA(path.c_str()) != nullptr; }

GenericFunction DynamicLibrary::Symbol(const char* name) const {
  if (!handle_) return nullptr;
  return reinterpret_cast<GenericFunction>(::GetProcAddress(handle_->h, name));
}

}  // namespace torvane::platform
