// Sockets on Windows: an overlapped Winsock socket whose sends and receives
// complete through event objects, and whose connection is reported through
// an event bound to FD_CONNECT. Each wait is bounded; an operation still
// pending when its wait runs out is cancelled and its completion awaited, so
// the kernel never writes into a buffer the caller has moved on from.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "platform/win32/winsock_start.h"

namespace torvane::platform {
namespace {

class Event {
 public:
  Event() = default;
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  ~Event() { Reset(); }
  bool Create() {
    Reset();
    handle_ = ::WSACreateEvent();
    return handle_ != WSA_INVALID_EVENT;
  }
  void Reset() {
    if (handle_ != WSA_INVALID_EVENT) ::WSACloseEvent(handle_);
    handle_ = WSA_INVALID_EVENT;
  }
  WSAEVENT get() const { return handle_; }
  bool IsSignalled() const { return handle_ != WSA_INVALID_EVENT && ::WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0; }

 private:
  WSAEVENT handle_ = WSA_INVALID_EVENT;
};

constexpr std::size_t kLargestTransfer = 1u << 30;

}  // namespace

struct Socket::Impl {
  SOCKET sock = INVALID_SOCKET;
  bool connected = false;
  Event read_event;
  Event write_event;
  Event connect_event;
  int last_error = 0;
  std::uint32_t timeout_ms = kDefaultTimeoutMs;
  std::mutex send_lock;
  std::mutex receive_lock;

  void CloseAll() {
    if (sock != INVALID_SOCKET) ::closesocket(sock);
    sock = INVALID_SOCKET;
    connected = false;
    read_event.Reset();
    write_event.Reset();
    connect_event.Reset();
  }
  bool Fail(int error) {
    last_error = error;
    return false;
  }

  // Starts one overlapped send or receive with `event` as its completion
  // event and waits for it up to the time-out.
  bool Transfer(bool sending, Event& event, WSABUF* buffers, DWORD count, std::size_t& bytes) {
    bytes = 0;
    if (!connected || ::WaitForSingleObject(connect_event.get(), timeout_ms) != WAIT_OBJECT_0)
      return Fail(WSAENOTCONN);
    if (!event.IsSignalled()) return Fail(WSAEINPROGRESS);  // an earlier operation is still pending
    ::WSAResetEvent(event.get());
    WSAOVERLAPPED overlapped{};
    overlapped.hEvent = event.get();
    DWORD done = 0;
    DWORD flags = 0;
    const int rc = sending ? ::WSASend(sock, buffers, count, &done, 0, &overlapped, nullptr)
                           : ::WSARecv(sock, buffers, count, &done, &flags, &overlapped, nullptr);
    if (rc == SOCKET_ERROR) {
      const int error = ::WSAGetLastError();
      if (error != WSA_IO_PENDING) {
        ::WSASetEvent(event.get());
        return Fail(error);
      }
    }
    const DWORD waited = ::WSAWaitForMultipleEvents(1, &overlapped.hEvent, TRUE, timeout_ms, FALSE);
    if (waited != WSA_WAIT_EVENT_0) {
      ::CancelIoEx(reinterpret_cast<HANDLE>(sock), &overlapped);
      ::WSAGetOverlappedResult(sock, &overlapped, &done, TRUE, &flags);
      ::WSASetEvent(event.get());
      return Fail(waited == WSA_WAIT_TIMEOUT ? WSAETIMEDOUT : static_cast<int>(::WSAGetLastError()));
    }
    if (!::WSAGetOverlappedResult(sock, &overlapped, &done, FALSE, &flags)) return Fail(::WSAGetLastError());
    bytes = done;
    return true;
  }
};

Socket::Socket() : impl_(std::make_unique<Impl>()) {}
Socket::~Socket() { impl_->CloseAll(); }

bool Socket::connected() const { return impl_->connected; }
void Socket::Close() { impl_->CloseAll(); }
// INFINITE (0xFFFFFFFF) would never end a wait: the longest wait is bounded.
void Socket::set_timeout_ms(std::uint32_t ms) { impl_->timeout_ms = std::min<std::uint32_t>(ms, INT32_MAX); }
std::uint32_t Socket::timeout_ms() const { return impl_->timeout_ms; }
int Socket::last_error() const { return impl_->last_error; }

bool Socket::Connect(const ResolvedAddress& address, std::uint32_t wait_ms) {
  Impl& s = *impl_;
  s.CloseAll();
  if (!StartWinsock()) return s.Fail(::WSAGetLastError());
  sockaddr_storage peer{};
  if (address.length == 0 || address.length > sizeof peer) return s.Fail(WSAEINVAL);
  std::memcpy(&peer, address.address.data(), address.length);

  s.sock = ::WSASocketW(address.family, address.socktype, address.protocol, nullptr, 0, WSA_FLAG_OVERLAPPED);
  if (s.sock == INVALID_SOCKET) return s.Fail(::WSAGetLastError());
  if (!s.read_event.Create() || !s.write_event.Create() || !s.connect_event.Create()) {
    const int error = ::WSAGetLastError();
    s.CloseAll();
    return s.Fail(error);
  }
  ::WSASetEvent(s.read_event.get());
  ::WSASetEvent(s.write_event.get());
  // Binding FD_CONNECT to the event also makes the socket non-blocking.
  if (::WSAEventSelect(s.sock, s.connect_event.get(), FD_CONNECT) == SOCKET_ERROR) {
    const int error = ::WSAGetLastError();
    s.CloseAll();
    return s.Fail(error);
  }

  if (::connect(s.sock, reinterpret_cast<const sockaddr*>(&peer), static_cast<int>(address.length)) == SOCKET_ERROR) {
    const int error = ::WSAGetLastError();
    if (error != WSAEWOULDBLOCK) {
      s.CloseAll();
      return s.Fail(error);
    }
    WSAEVENT connect_event = s.connect_event.get();
    if (::WSAWaitForMultipleEvents(1, &connect_event, TRUE, wait_ms, FALSE) != WSA_WAIT_EVENT_0) {
      s.CloseAll();
      return s.Fail(WSAETIMEDOUT);
    }
    // No event given, so the connect event stays signalled: sends and
    // receives check it to know the socket is connected.
    WSANETWORKEVENTS events{};
    if (::WSAEnumNetworkEvents(s.sock, nullptr, &events) == SOCKET_ERROR) {
      const int enum_error = ::WSAGetLastError();
      s.CloseAll();
      return s.Fail(enum_error);
    }
    if ((events.lNetworkEvents & FD_CONNECT) != 0 && events.iErrorCode[FD_CONNECT_BIT] != 0) {
      const int connect_error = events.iErrorCode[FD_CONNECT_BIT];
      s.CloseAll();
      return s.Fail(connect_error);
    }
  }
  ::WSASetEvent(s.connect_event.get());
  s.connected = true;
  return true;
}

bool Socket::Send(std::span<const ConstBuffer> buffers, std::size_t& sent) {
  Impl& s = *impl_;
  sent = 0;
  std::vector<WSABUF> list;
  list.reserve(buffers.size());
  for (const ConstBuffer& b : buffers) {
    if (b.size > kLargestTransfer) return s.Fail(WSAEMSGSIZE);
    list.push_back(WSABUF{static_cast<ULONG>(b.size), const_cast<char*>(b.data)});
  }
  std::lock_guard lock(s.send_lock);
  return s.Transfer(true, s.write_event, list.data(), static_cast<DWORD>(list.size()), sent);
}

bool Socket::Receive(char* buffer, std::size_t capacity, std::size_t& received) {
  Impl& s = *impl_;
  WSABUF one{static_cast<ULONG>(std::min(capacity, kLargestTransfer)), buffer};
  std::lock_guard lock(s.receive_lock);
  return s.Transfer(false, s.read_event, &one, 1, received);
}

}  // namespace torvane::platform
