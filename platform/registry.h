#pragma once
// A key under HKEY_LOCAL_MACHINE. On Windows this is the real registry; on
// POSIX a file-backed stand-in under the state folder (see state_dir.h), one
// file per value holding its raw data bytes.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace torvane::platform {

class LocalMachineKey {
 public:
  // Opens the key, creating it when missing, for reading and writing.
  // Empty when it can neither be opened nor created.
  static std::optional<LocalMachineKey> OpenOrCreate(const std::string& subkey);

  LocalMachineKey(LocalMachineKey&&) noexcept;
  LocalMachineKey& operator=(LocalMachineKey&&) noexcept;
  ~LocalMachineKey();

  bool SetDword(const std::string& name, std::uint32_t value);
  bool DeleteValue(const std::string& name);
  // The value as a REG_DWORD; empty when absent or of another type.
  std::optional<std::uint32_t> ReadDword(const std::string& name) const;

  struct Impl;

 private:
  explicit LocalMachineKey(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace torvane::platform
