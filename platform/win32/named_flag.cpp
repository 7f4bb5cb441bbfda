#include <windows.h>

#include "platform/named_flag.h"

namespace torvane::platform {

struct NamedFlag::Handle {
  explicit Handle(HANDLE value) : h(value) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { ::CloseHandle(h); }
  HANDLE h;
};

NamedFlag::NamedFlag(Status status, int error, std::unique_ptr<Handle> handle)
    : status_(status), error_(error), handle_(std::move(handle)) {}
NamedFlag::NamedFlag(NamedFlag&&) noexcept = default;
NamedFlag& NamedFlag::operator=(NamedFlag&&) noexcept = default;
NamedFlag::~NamedFlag() = default;

void NamedFlag::Release() { handle_.reset(); }

NamedFlag NamedFlag::Create(const std::string& name) {
  HANDLE h = ::CreateMutexA(nullptr, FALSE, name.c_str());
  const DWORD err = ::GetLastError();
  if (!h) return NamedFlag(Status::kFailed, static_cast<int>(err), nullptr);
  auto handle = std::make_unique<Handle>(h);
  if (err == ERROR_ALREADY_EXISTS) return NamedFlag(Status::kAlreadyExists, 0, nullptr);
  return NamedFlag(Status::kCreated, 0, std::move(handle));
}

}  // namespace torvane::platform
