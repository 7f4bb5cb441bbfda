#include "platform/pipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace torvane::platform {
namespace {

class PosixPipe final : public Pipe {
 public:
  PosixPipe(int reader, int writer) : reader_(reader), writer_(writer) {}
  ~PosixPipe() override {
    CloseWriter();
    ::close(reader_);
  }

  std::string ReaderPath() const override { return "/dev/fd/" + std::to_string(reader_); }
  std::string WriterPath() const override {
    std::lock_guard<std::mutex> hold(writeLock_);
    return "/dev/fd/" + std::to_string(writer_);
  }

  bool Write(std::string_view bytes) override {
    std::lock_guard<std::mutex> hold(writeLock_);
    while (!bytes.empty()) {
      if (writer_ < 0) return false;
      const ssize_t n = ::write(writer_, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

  void CloseWriter() override {
    std::lock_guard<std::mutex> hold(writeLock_);
    if (writer_ >= 0) ::close(writer_);
    writer_ = -1;
  }

  std::optional<std::string> ReadLine() override {
    for (;;) {
      if (const auto end = pending_.find('\n'); end != std::string::npos) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return line;
      }
      char buf[4096];
      const ssize_t n = ::read(reader_, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (pending_.empty()) return std::nullopt;
        std::string last;
        last.swap(pending_);
        return last;
      }
      pending_.append(buf, static_cast<std::size_t>(n));
    }
  }

 private:
  const int reader_;
  mutable std::mutex writeLock_;
  int writer_;
  std::string pending_;
};

}  // namespace

std::unique_ptr<Pipe> Pipe::Open(std::string* error) {
  int fds[2];
  // Close-on-exec: programs the library starts must not keep the pipe open.
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    if (error) *error = std::string("pipe: ") + std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<PosixPipe>(fds[0], fds[1]);
}

}  // namespace torvane::platform
