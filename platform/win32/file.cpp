#include <windows.h>

#include "platform/file.h"

namespace torvane::platform {

struct File::Handle {
  explicit Handle(HANDLE value) : h(value) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { ::CloseHandle(h); }
  HANDLE h;
  std::string path;  // for the test observer
};

namespace {

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED ov{};
  ov.Offset = static_cast<DWORD>(offset & 0xffffffffu);
  ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return ov;
}

// One call moves at most this much, so a DWORD count never overflows.
constexpr std::size_t kChunk = 0x40000000;

constexpr DWORD kNotAFile =
    FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;

// A file on a disk that is no reparse point (a link opened as itself); to
// be written, with no other name (hard link) than the one it was opened by.
bool RegularFile(HANDLE h, bool forWriting) {
  BY_HANDLE_FILE_INFORMATION info{};
  return ::GetFileType(h) == FILE_TYPE_DISK && ::GetFileInformationByHandle(h, &info) &&
         (info.dwFileAttributes & kNotAFile) == 0 && (!forWriting || info.nNumberOfLinks == 1);
}

}  // namespace

File::File(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
File::File(File&&) noexcept = default;
File& File::operator=(File&&) noexcept = default;
File::~File() = default;

std::optional<File> File::Open(const std::string& path, Mode mode) {
  if (path.empty()) return std::nullopt;
  // A reparse point under the name is opened as itself, never followed, and
  // then refused.
  constexpr DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
  const bool reading = mode == Mode::kReadShared;
  HANDLE h = reading ? ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, flags, nullptr)
                     : ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     mode == Mode::kCreateNew ? CREATE_NEW : OPEN_ALWAYS, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  auto handle = std::make_unique<Handle>(h);
  if (!RegularFile(h, !reading)) return std::nullopt;
  handle->path = path;
  return File(std::move(handle));
}

std::optional<std::uint64_t> File::Size() const {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(handle_->h, &size) || size.QuadPart < 0) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

File::Io File::ReadAt(std::uint64_t offset, char* out, std::size_t size) {
  Io io{true, 0};
  while (io.bytes < size) {
    const std::size_t want = size - io.bytes < kChunk ? size - io.bytes : kChunk;
    OVERLAPPED ov = At(offset + io.bytes);
    DWORD got = 0;
    if (!::ReadFile(handle_->h, out + io.bytes, static_cast<DWORD>(want), &got, &ov)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      return Io{false, io.bytes + got};
    }
    if (got == 0) break;
    io.bytes += got;
  }
  return io;
}

File::Io File::WriteAt(std::uint64_t offset, std::string_view data) {
  if (!FileOpAllowed(FileOp::kWrite, handle_->path)) return Io{false, 0};
  Io io{true, 0};
  while (io.bytes < data.size()) {
    const std::size_t want = data.size() - io.bytes < kChunk ? data.size() - io.bytes : kChunk;
    OVERLAPPED ov = At(offset + io.bytes);
    DWORD put = 0;
    if (!::WriteFile(handle_->h, data.data() + io.bytes, static_cast<DWORD>(want), &put, &ov) ||
        put == 0)
      return Io{false, io.bytes + put};
    io.bytes += put;
  }
  return io;
}

bool File::Truncate(std::uint64_t size) {
  if (!FileOpAllowed(FileOp::kTruncate, handle_->path)) return false;
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(size);
  return ::SetFilePointerEx(handle_->h, to, nullptr, FILE_BEGIN) && ::SetEndOfFile(handle_->h);
}

bool File::Sync() {
  return FileOpAllowed(FileOp::kSync, handle_->path) && ::FlushFileBuffers(handle_->h) != 0;
}

bool FileExists(const std::string& path) {
  return !path.empty() && ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

Planted WhatIsPlanted(const std::string& path) {
  const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Planted::kNothing;
  if ((attributes & kNotAFile) != 0) return Planted::kNotARegularFile;
  // Asking for attributes only conflicts with nobody's sharing.
  HANDLE h = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Planted::kNothing;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool several = ::GetFileInformationByHandle(h, &info) && info.nNumberOfLinks > 1;
  ::CloseHandle(h);
  return several ? Planted::kSeveralNames : Planted::kNothing;
}

bool RemoveFile(const std::string& path) {
  return !path.empty() && FileOpAllowed(FileOp::kRemove, path) && ::DeleteFileA(path.c_str()) != 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(), 0) != 0;
}

}  // namespace torvane::platform
