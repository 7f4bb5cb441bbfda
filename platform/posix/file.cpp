#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file.h"
#include "platform/posix/safe_file.h"

namespace torvane::platform {

struct File::Handle {
  explicit Handle(int value) : fd(value) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { ::close(fd); }
  int fd;
  std::string path;  // for the test observer
};

File::File(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
File::File(File&&) noexcept = default;
File& File::operator=(File&&) noexcept = default;
File::~File() = default;

// Regular files only, never through a symbolic link, and without blocking on
// a FIFO planted under the name (OpenRegularFile).
std::optional<File> File::Open(const std::string& path, Mode mode) {
  if (path.empty()) return std::nullopt;
  const int flags = mode == Mode::kReadShared       ? O_RDONLY
                    : mode == Mode::kReadWriteAlways ? (O_RDWR | O_CREAT)
                                                     : (O_RDWR | O_CREAT | O_EXCL);
  const int fd = OpenRegularFile(path, flags, 0644);
  if (fd < 0) return std::nullopt;
  auto handle = std::make_unique<Handle>(fd);
  handle->path = path;
  return File(std::move(handle));
}

std::optional<std::uint64_t> File::Size() const {
  struct stat st {};
  if (::fstat(handle_->fd, &st) != 0 || st.st_size < 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

File::Io File::ReadAt(std::uint64_t offset, char* out, std::size_t size) {
  Io io{true, 0};
  while (io.bytes < size) {
    const ssize_t n = ::pread(handle_->fd, out + io.bytes, size - io.bytes,
                              static_cast<off_t>(offset + io.bytes));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Io{false, io.bytes};
    if (n == 0) break;
    io.bytes += static_cast<std::size_t>(n);
  }
  return io;
}

File::Io File::WriteAt(std::uint64_t offset, std::string_view data) {
  if (!FileOpAllowed(FileOp::kWrite, handle_->path)) return Io{false, 0};
  Io io{true, 0};
  while (io.bytes < data.size()) {
    const ssize_t n = ::pwrite(handle_->fd, data.data() + io.bytes, data.size() - io.bytes,
                               static_cast<off_t>(offset + io.bytes));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Io{false, io.bytes};
    io.bytes += static_cast<std::size_t>(n);
  }
  return io;
}

bool File::Truncate(std::uint64_t size) {
  if (!FileOpAllowed(FileOp::kTruncate, handle_->path)) return false;
  return ::ftruncate(handle_->fd, static_cast<off_t>(size)) == 0;
}

bool File::Sync() {
  return FileOpAllowed(FileOp::kSync, handle_->path) && ::fsync(handle_->fd) == 0;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

Planted WhatIsPlanted(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0) return Planted::kNothing;
  if (!S_ISREG(st.st_mode)) return Planted::kNotARegularFile;
  return st.st_nlink > 1 ? Planted::kSeveralNames : Planted::kNothing;
}

bool RemoveFile(const std::string& path) {
  return !path.empty() && FileOpAllowed(FileOp::kRemove, path) && ::unlink(path.c_str()) == 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  // One step that refuses an existing target. Where the file system cannot
  // do that, a hard link refuses it instead, then the old name goes; a crash
  // between the two leaves the file with two names, which a writer refuses.
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  if (::link(from.c_str(), to.c_str()) == 0) return ::unlink(from.c_str()) == 0;
  if (errno == EEXIST || FileExists(to)) return false;
  return ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace torvane::platform
