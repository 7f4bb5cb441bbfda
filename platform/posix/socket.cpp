// Sockets on POSIX: a non-blocking TCP socket; every wait (connect, send,
// receive) is a poll with the time-out, so nothing blocks beyond it.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/socket.h"

namespace torvane::platform {

struct Socket::Impl {
  int fd = -1;
  bool connected = false;
  int last_error = 0;
  std::uint32_t timeout_ms = kDefaultTimeoutMs;
  std::mutex send_lock;
  std::mutex receive_lock;

  void CloseFd() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    connected = false;
  }
  // Waits for `events`; false (with last_error set) on a time-out or error.
  bool Wait(short events, std::uint32_t ms) {
    pollfd p{fd, events, 0};
    for (;;) {
      const int n = ::poll(&p, 1, static_cast<int>(std::min<std::uint32_t>(ms, INT32_MAX)));
      if (n > 0) return true;  // readiness or an error condition: the next call tells which
      if (n == 0) {
        last_error = ETIMEDOUT;
        return false;
      }
      if (errno != EINTR) {
        last_error = errno;
        return false;
      }
    }
  }
};

Socket::Socket() : impl_(std::make_unique<Impl>()) {}
Socket::~Socket() { impl_->CloseFd(); }

bool Socket::connected() const { return impl_->connected; }
void Socket::Close() { impl_->CloseFd(); }
void Socket::set_timeout_ms(std::uint32_t ms) { impl_->timeout_ms = ms; }
std::uint32_t Socket::timeout_ms() const { return impl_->timeout_ms; }
int Socket::last_error() const { return impl_->last_error; }

bool Socket::Connect(const ResolvedAddress& address, std::uint32_t wait_ms) {
  Impl& s = *impl_;
  s.CloseFd();
  sockaddr_storage peer{};
  if (address.length == 0 || address.length > sizeof peer) {
    s.last_error = EINVAL;
    return false;
  }
  std::memcpy(&peer, address.address.data(), address.length);
  s.fd = ::socket(address.family, address.socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.protocol);
  if (s.fd < 0) {
    s.last_error = errno;
    return false;
  }
  if (::connect(s.fd, reinterpret_cast<const sockaddr*>(&peer), static_cast<socklen_t>(address.length)) != 0) {
    if (errno != EINPROGRESS) {
      s.last_error = errno;
      s.CloseFd();
      return false;
    }
    if (!s.Wait(POLLOUT, wait_ms)) {
      s.CloseFd();
      return false;
    }
    int error = 0;
    socklen_t length = sizeof(error);
    if (::getsockopt(s.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error != 0) {
      s.last_error = error;
      s.CloseFd();
      return false;
    }
  }
  s.connected = true;
  return true;
}

bool Socket::Send(std::span<const ConstBuffer> buffers, std::size_t& sent) {
  Impl& s = *impl_;
  sent = 0;
  std::lock_guard lock(s.send_lock);
  if (!s.connected) {
    s.last_error = ENOTCONN;
    return false;
  }
  for (const ConstBuffer& buffer : buffers) {
    std::size_t offset = 0;
    while (offset < buffer.size) {
      const ssize_t n = ::send(s.fd, buffer.data + offset, buffer.size - offset, MSG_NOSIGNAL);
      if (n >= 0) {
        offset += static_cast<std::size_t>(n);
        sent += static_cast<std::size_t>(n);
        continue;
      }
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        s.last_error = errno;
        return false;
      }
      if (!s.Wait(POLLOUT, s.timeout_ms)) return false;
    }
  }
  return true;
}

bool Socket::Receive(char* buffer, std::size_t capacity, std::size_t& received) {
  Impl& s = *impl_;
  received = 0;
  std::lock_guard lock(s.receive_lock);
  if (!s.connected) {
    s.last_error = ENOTCONN;
    return false;
  }
  for (;;) {
    const ssize_t n = ::recv(s.fd, buffer, capacity, 0);
    if (n >= 0) {
      received = static_cast<std::size_t>(n);
      return true;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      s.last_error = errno;
      return false;
    }
    if (!s.Wait(POLLIN, s.timeout_ms)) return false;
  }
}

}  // namespace torvane::platform
