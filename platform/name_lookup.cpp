// The system resolver, getaddrinfo, first address only. Winsock and POSIX
// share the call; Windows needs Winsock started first.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/win32/winsock_start.h"
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

#include <cstring>
#include <string>

#include "platform/name_resolver.h"

namespace torvane::platform {
namespace {

struct AddressList {
  addrinfo* head = nullptr;
  AddressList() = default;
  AddressList(const AddressList&) = delete;
  AddressList& operator=(const AddressList&) = delete;
  ~AddressList() {
    if (head != nullptr) ::freeaddrinfo(head);
  }
};

}  // namespace

bool SystemHostLookup(const std::string& host, std::uint16_t port, bool numeric_only, ResolvedAddress& out) {
#ifdef _WIN32
  if (!StartWinsock()) return false;
#endif
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  if (numeric_only) hints.ai_flags = AI_NUMERICHOST;
  AddressList addresses;
  const std::string service = std::to_string(port);
  if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &addresses.head) != 0 || addresses.head == nullptr)
    return false;
  const addrinfo& first = *addresses.head;  // only the first address is used
  if (first.ai_addr == nullptr || static_cast<std::size_t>(first.ai_addrlen) > out.address.size()) return false;
  out.family = first.ai_family;
  out.socktype = first.ai_socktype;
  out.protocol = first.ai_protocol;
  out.length = static_cast<std::size_t>(first.ai_addrlen);
  std::memcpy(out.address.data(), first.ai_addr, out.length);
  return true;
}

}  // namespace torvane::platform
