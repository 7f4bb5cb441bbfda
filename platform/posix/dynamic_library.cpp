#include <dlfcn.h>

#include <cstring>

#include "platform/dynamic_library.h"
#include "platform/host_dir.h"

namespace torvane::platform {

struct DynamicLibrary::Handle {
  explicit Handle(void* value) : h(value) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { ::dlclose(h); }
  void* h;
};

DynamicLibrary::DynamicLibrary(std::unique_ptr<Handle> handle, std::string error)
    : handle_(std::move(handle)), error_(std::move(error)) {}
DynamicLibrary::DynamicLibrary(DynamicLibrary&&) noexcept = default;
DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&&) noexcept = default;
DynamicLibrary::~DynamicLibrary() = default;

DynamicLibrary DynamicLibrary::Open(const std::string& path) {
  // A bare name would be looked for along the library search path.
  if (!IsFullPath(path)) return DynamicLibrary(nullptr, "not a full path: " + path);
  void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    const char* why = ::dlerror();
    return DynamicLibrary(nullptr, why ? why : "cannot load " + path);
  }
  return DynamicLibrary(std::make_unique<Handle>(h), {});
}

bool DynamicLibrary::Resident(const std::string& path) {
  void* h = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (!h) return false;
  ::dlclose(h);  // gives back the reference the question took
  return true;
}

GenericFunction DynamicLibrary::Symbol(const char* name) const {
  if (!handle_) return nullptr;
  void* p = ::dlsym(handle_->h, name);
  GenericFunction f = nullptr;
  static_assert(sizeof f == sizeof p);
  std::memcpy(&f, &p, sizeof f);  // object to function pointer, as POSIX allows
  return f;
}

}  // namespace torvane::platform
