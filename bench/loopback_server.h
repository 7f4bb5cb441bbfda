#pragma once
// In-process loopback servers for the transport benchmark: one blocking
// thread accepts each connection and answers every request on it with a
// fixed reply until the peer closes. Bench harness code, native only.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <utility>

// Reads requests through `read(buffer, size)` (bytes read; 0 or less at the
// end) and answers each with `reply` through `write(text)` (false on failure).
template <class Read, class Write>
void AnswerEachRequest(Read read, Write write, const std::string& reply) {
  std::string pending;
  char buffer[8192];
  const auto more = [&] {
    const auto n = read(buffer, sizeof buffer);
    if (n <= 0) return false;
    pending.append(buffer, static_cast<std::size_t>(n));
    return true;
  };
  for (;;) {
    std::size_t head_end;
    while ((head_end = pending.find("\r\n\r\n")) == std::string::npos)
      if (!more()) return;
    std::size_t length = 0;
    if (const std::size_t at = pending.find("Content-Length: "); at != std::string::npos && at < head_end)
      length = std::stoul(pending.substr(at + 16));
    while (pending.size() < head_end + 4 + length)
      if (!more()) return;
    pending.erase(0, head_end + 4 + length);
    if (!write(reply)) return;
  }
}

// Listens on 127.0.0.1 at a free port and hands each accepted connection
// (TCP_NODELAY set) to `serve`, one at a time, until destroyed.
class LoopbackListener {
 public:
  explicit LoopbackListener(std::function<void(int fd)> serve) : serve_(std::move(serve)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 128) != 0)
      std::abort();
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Accept(); });
  }
  ~LoopbackListener() {
    stop_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
  }
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;
  int port() const { return port_; }

 private:
  void Accept() {
    while (!stop_) {
      const int fd = ::accept(listener_, nullptr, nullptr);
      if (fd < 0) continue;
      const int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      serve_(fd);
      ::close(fd);
    }
  }

  std::function<void(int)> serve_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
