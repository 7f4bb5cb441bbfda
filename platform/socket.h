#pragma once
// A TCP client socket with time-outs (names are resolved beforehand, see
// name_resolver.h). Connecting waits at most 10 s; each
// send and receive waits at most the socket's time-out. Windows: overlapped
// Winsock I/O completed through event objects; POSIX: non-blocking sockets
// and poll. Failures are results, never exceptions.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/name_resolver.h"

namespace torvane::platform {

class Socket {
 public:
  static constexpr std::uint32_t kConnectTimeoutMs = 10000;
  static constexpr std::uint32_t kDefaultTimeoutMs = 10000;

  struct ConstBuffer {
    const char* data;
    std::size_t size;
  };

  Socket();
  ~Socket();
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Connects to an address from ResolveHost, waiting at most wait_ms for the
  // connection. A failed connection leaves the socket unconnected; calling
  // again retries.
  bool Connect(const ResolvedAddress& address, std::uint32_t wait_ms = kConnectTimeoutMs);
  bool connected() const;
  // Closes the connection; the object can connect again.
  void Close();

  void set_timeout_ms(std::uint32_t ms);
  std::uint32_t timeout_ms() const;
  // The platform error code of the last failure (a time-out is recorded as
  // the platform's time-out code).
  int last_error() const;

  // Sends the buffers in order. `sent` receives the bytes that went out;
  // false on an error or a time-out.
  bool Send(std::span<const ConstBuffer> buffers, std::size_t& sent);
  // Receives up to `capacity` bytes. True with `received` 0 when the peer
  // closed; false on an error or a time-out.
  bool Receive(char* buffer, std::size_t capacity, std::size_t& received);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace torvane::platform
