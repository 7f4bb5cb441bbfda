// Named flags as flock()ed files in <state>/flags. flock locks belong to the
// open file description, so a second open in the same process is refused
// just as one in another process is, and the kernel drops the lock when the
// holder exits, however it ends.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/named_flag.h"
#include "platform/posix/safe_file.h"
#include "platform/state_dir.h"

namespace torvane::platform {

struct NamedFlag::Handle {
  explicit Handle(int value) : fd(value) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { ::close(fd); }
  int fd;
};

NamedFlag::NamedFlag(Status status, int error, std::unique_ptr<Handle> handle)
    : status_(status), error_(error), handle_(std::move(handle)) {}
NamedFlag::NamedFlag(NamedFlag&&) noexcept = default;
NamedFlag& NamedFlag::operator=(NamedFlag&&) noexcept = default;
NamedFlag::~NamedFlag() = default;

void NamedFlag::Release() { handle_.reset(); }

NamedFlag NamedFlag::Create(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
    return NamedFlag(Status::kFailed, EINVAL, nullptr);
  const std::filesystem::path dir = std::filesystem::path(StateDirectory()) / "flags";
  CreatePrivateDirectories(dir.string());
  const int fd = OpenRegularFile((dir / name).string(), O_RDWR | O_CREAT, 0600);
  if (fd < 0) return NamedFlag(Status::kFailed, errno, nullptr);
  auto handle = std::make_unique<Handle>(fd);
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return NamedFlag(Status::kCreated, 0, std::move(handle));
  const int err = errno;
  if (err == EWOULDBLOCK) return NamedFlag(Status::kAlreadyExists, 0, nullptr);
  return NamedFlag(Status::kFailed, err, nullptr);
}

}  // namespace torvane::platform
