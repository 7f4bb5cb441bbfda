// Registry stand-in: a key is a folder under <state>/registry/HKEY_LOCAL_MACHINE
// (backslashes of the key path become folders), a value is a file named after
// it holding the value's data bytes (REG_DWORD: 4 bytes, little-endian).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/registry.h"
#include "platform/state_dir.h"

namespace torvane::platform {

struct LocalMachineKey::Impl {
  std::filesystem::path dir;
};

namespace fs = std::filesystem;

LocalMachineKey::LocalMachineKey(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
LocalMachineKey::LocalMachineKey(LocalMachineKey&&) noexcept = default;
LocalMachineKey& LocalMachineKey::operator=(LocalMachineKey&&) noexcept = default;
LocalMachineKey::~LocalMachineKey() = default;

std::optional<LocalMachineKey> LocalMachineKey::OpenOrCreate(const std::string& subkey) {
  fs::path dir = fs::path(StateDirectory()) / "registry" / "HKEY_LOCAL_MACHINE";
  std::string part;
  for (const char c : subkey + '\\') {
    if (c != '\\') {
      part += c;
      continue;
    }
    if (part == "." || part == "..") return std::nullopt;
    if (!part.empty()) dir /= part;
    part.clear();
  }
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (!fs::is_directory(dir, ec)) return std::nullopt;
  return LocalMachineKey(std::make_unique<Impl>(Impl{dir}));
}

bool LocalMachineKey::SetDword(const std::string& name, std::uint32_t value) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(value),
                                  static_cast<unsigned char>(value >> 8),
                                  static_cast<unsigned char>(value >> 16),
                                  static_cast<unsigned char>(value >> 24)};
  // Written beside the value and renamed over it, so a reader sees the old
  // or the new value, never a torn one.
  const fs::path target = impl_->dir / name;
  const fs::path temp = impl_->dir / (name + ".new");
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out.write(reinterpret_cast<const char*>(bytes), sizeof bytes)) return false;
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  return !ec;
}

bool LocalMachineKey::DeleteValue(const std::string& name) {
  std::error_code ec;
  return fs::remove(impl_->dir / name, ec);
}

std::optional<std::uint32_t> LocalMachineKey::ReadDword(const std::string& name) const {
  std::ifstream in(impl_->dir / name, std::ios::binary);
  unsigned char bytes[5] = {};
  in.read(reinterpret_cast<char*>(bytes), sizeof bytes);
  if (in.gcount() != 4) return std::nullopt;
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace torvane::platform
