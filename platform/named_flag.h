#pragma once
// A named kernel object used only as an existence flag: whoever creates the
// name holds the flag until its handle is closed; a second creator, in this
// process or another of the same logon, learns that it already exists. Never
// waited on. Windows: a named mutex. POSIX: an flock on a file under the
// state folder, released when the holder closes it or exits.
#include <memory>
#include <string>

namespace torvane::platform {

class NamedFlag {
 public:
  enum class Status { kCreated, kAlreadyExists, kFailed };

  // Tries to create the flag. On kCreated the returned object holds it; on
  // kAlreadyExists and kFailed it holds nothing (error() tells why it failed).
  static NamedFlag Create(const std::string& name);

  NamedFlag(NamedFlag&&) noexcept;
  NamedFlag& operator=(NamedFlag&&) noexcept;
  ~NamedFlag();

  Status status() const { return status_; }
  bool held() const { return handle_ != nullptr; }
  int error() const { return error_; }  // platform error code for kFailed
  void Release();                        // closes the handle early

  struct Handle;

 private:
  NamedFlag(Status status, int error, std::unique_ptr<Handle> handle);
  Status status_;
  int error_;
  std::unique_ptr<Handle> handle_;
};

}  // namespace torvane::platform
