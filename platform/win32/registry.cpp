#include <windows.h>

#include "platform/registry.h"

namespace torvane::platform {

struct LocalMachineKey::Impl {
  HKEY key = nullptr;
  ~Impl() {
    if (key) ::RegCloseKey(key);
  }
};

LocalMachineKey::LocalMachineKey(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
LocalMachineKey::LocalMachineKey(LocalMachineKey&&) noexcept = default;
LocalMachineKey& LocalMachineKey::operator=(LocalMachineKey&&) noexcept = default;
LocalMachineKey::~LocalMachineKey() = default;

std::optional<LocalMachineKey> LocalMachineKey::OpenOrCreate(const std::string& subkey) {
  auto impl = std::make_unique<Impl>();
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &impl->key, nullptr) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return LocalMachineKey(std::move(impl));
}

bool LocalMachineKey::SetDword(const std::string& name, std::uint32_t value) {
  const DWORD data = value;
  return ::RegSetValueExA(impl_->key, name.c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
}

bool LocalMachineKey::DeleteValue(const std::string& name) {
  return ::RegDeleteValueA(impl_->key, name.c_str()) == ERROR_SUCCESS;
}

std::optional<std::uint32_t> LocalMachineKey::ReadDword(const std::string& name) const {
  DWORD type = 0, data = 0, size = sizeof data;
  if (::RegQueryValueExA(impl_->key, name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof data) {
    return std::nullopt;
  }
  return data;
}

}  // namespace torvane::platform
