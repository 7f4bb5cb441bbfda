#include <windows.h>

#include "platform/dynamic_library.h"

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

DynamicLibrary DynamicLibrary::Open(const std::string& path) {
  HMODULE h = ::LoadLibraryA(path.c_str());
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
