// Directory change reads with ReadDirectoryChangesW on a directory opened for
// overlapped I/O, completing on an I/O completion port.
#include <windows.h>

#include <string>

#include "platform/dir_changes.h"

namespace torvane::platform {
namespace {

class Win32Directory final : public ChangeDirectory {
 public:
  explicit Win32Directory(HANDLE h) : h_(h) {}
  ~Win32Directory() override { Close(); }

  std::uint32_t Read(std::byte* buffer, std::size_t size, bool subtree,
                     std::uint32_t filter) override {
    if (closed()) return error::kInvalidHandle;
    overlapped_ = OVERLAPPED{};
    if (!::ReadDirectoryChangesW(h_, buffer, static_cast<DWORD>(size), subtree ? TRUE : FALSE,
                                 filter, &unused_, &overlapped_, nullptr))
      return ::GetLastError();
    return 0;
  }

  // An outstanding read completes with an error packet. It is cancelled
  // explicitly rather than left to the close, which not every implementation
  // of the platform completes.
  void Close() override {
    if (closed()) return;
    ::CancelIoEx(h_, &overlapped_);
    ::CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

  bool closed() const override { return h_ == INVALID_HANDLE_VALUE; }
  HANDLE handle() const { return h_; }

 private:
  HANDLE h_;
  OVERLAPPED overlapped_{};  // the outstanding read's; lives as long as the directory
  DWORD unused_ = 0;
};

class Win32Port final : public ChangePort {
 public:
  explicit Win32Port(HANDLE h) : h_(h) {}
  ~Win32Port() override { ::CloseHandle(h_); }

  std::uint32_t Associate(ChangeDirectory& dir, std::uintptr_t key) override {
    const HANDLE d = static_cast<Win32Directory&>(dir).handle();
    if (!::CreateIoCompletionPort(d, h_, static_cast<ULONG_PTR>(key), 0)) return ::GetLastError();
    return 0;
  }

  bool Post(std::uintptr_t key, std::uint32_t bytes) override {
    return ::PostQueuedCompletionStatus(h_, bytes, static_cast<ULONG_PTR>(key), nullptr) != 0;
  }

  PortPacket Wait() override {
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* ov = nullptr;
    PortPacket p;
    if (::GetQueuedCompletionStatus(h_, &bytes, &key, &ov, INFINITE)) {
      p.dequeued = true;
      p.ok = true;
    } else {
      p.error = ::GetLastError();
      p.dequeued = ov != nullptr;  // no overlapped block: nothing was taken
    }
    p.key = static_cast<std::uintptr_t>(key);
    p.bytes = bytes;
    return p;
  }

 private:
  HANDLE h_;
};

}  // namespace

bool IsDirectoryPath(std::string_view path) {
  const std::string p(path);
  const DWORD attrs = ::GetFileAttributesA(p.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

std::unique_ptr<ChangeDirectory> ChangeDirectory::Open(std::string_view path, std::uint32_t& err) {
  const std::string p(path);
  const HANDLE h = ::CreateFileA(p.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    err = ::GetLastError();
    return nullptr;
  }
  err = 0;
  return std::make_unique<Win32Directory>(h);
}

std::unique_ptr<ChangePort> ChangePort::Create(std::uint32_t& err) {
  const HANDLE h = ::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
  if (!h) {
    err = ::GetLastError();
    return nullptr;
  }
  err = 0;
  return std::make_unique<Win32Port>(h);
}

}  // namespace torvane::platform
