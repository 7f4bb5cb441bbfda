// Registry stand-in: a key is a folder under <state>/registry/HKEY_LOCAL_MACHINE
// (backslashes of the key path become folders), a value is a file named after
// it holding the value's data bytes (REG_DWORD: 4 bytes, little-endian).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/posix/safe_file.h"
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
  if (!CreatePrivateDirectories(dir.string())) return std::nullopt;
  return LocalMachineKey(std::make_unique<Impl>(Impl{dir}));
}

bool LocalMachineKey::SetDword(const std::string& name, std::uint32_t value) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(value),
                                  static_cast<unsigned char>(value >> 8),
                                  static_cast<unsigned char>(value >> 16),
                                  static_cast<unsigned char>(value >> 24)};
  // Written beside the value and renamed over it, so a reader sees the old
  // or the new value, never a torn one.
  // The temporary file is made afresh and exclusively: whatever lies under
  // its name (a stale one, a link planted to have another file truncated)
  // is removed first, never written through.
  const fs::path target = impl_->dir / name;
  const fs::path temp = impl_->dir / (name + ".new");
  ::unlink(temp.c_str());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ssize_t written;
  do {
    written = ::write(fd, bytes, sizeof bytes);
  } while (written < 0 && errno == EINTR);
  const bool closed = ::close(fd) == 0;
  std::error_code ec;
  if (written != static_cast<ssize_t>(sizeof bytes) || !closed) {
    fs::remove(temp, ec);
    return false;
  }
  fs::rename(temp, target, ec);
  return !ec;
}

bool LocalMachineKey::DeleteValue(const std::string& name) {
  std::error_code ec;
  return fs::remove(impl_->dir / name, ec);
}

std::optional<std::uint32_t> LocalMachineKey::ReadDword(const std::string& name) const {
  const int fd = OpenRegularFile((impl_->dir / name).string(), O_RDONLY, 0);
  if (fd < 0) return std::nullopt;
  unsigned char bytes[5] = {};
  ssize_t got;
  do {
    got = ::pread(fd, bytes, sizeof bytes, 0);
  } while (got < 0 && errno == EINTR);
  ::close(fd);
  if (got != 4) return std::nullopt;
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace torvane::platform
