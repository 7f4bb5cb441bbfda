#pragma once
// A TLS client stream over a connected Socket, for https addresses: TLS 1.2
// or later only, the server checked as a browser would (a chain to a root
// the machine trusts, the host name or IP address, the dates) or, where a
// pin is given, by the SHA-256 of its certificate's public key instead of
// the trusted roots. Windows: Schannel and the system certificate store;
// POSIX: OpenSSL's libssl and the system CA bundle (SSL_CERT_FILE and
// SSL_CERT_DIR are honoured). Every wait is bounded: the handshake as a
// whole by its wait, each Send and Receive as a whole by the socket's
// time-out. Failures are results, never exceptions.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/socket.h"

namespace torvane::platform {

// Why a TLS connection was refused.
enum class TlsFailure {
  kNone,
  kUntrusted,        // the chain does not end at a trusted root
  kExpired,          // a certificate is out of date
  kNameMismatch,     // the certificate is not for this host name or address
  kPinMismatch,      // a pin is set and the server's key is not the pinned one
  kHandshakeFailed,  // no TLS 1.2+ session: refused, garbage, stalled, closed
};

// The log's word for a failure ("untrusted", "expired", ...).
std::string_view TlsFailureName(TlsFailure failure);

// SHA-256 of a certificate's DER SubjectPublicKeyInfo.
using TlsPin = std::array<std::uint8_t, 32>;

// Reads a pin written as 64 hex digits, in any case, optionally split by
// ':' or blanks (as `openssl dgst -c` or a copied fingerprint writes it).
// nullopt when the text is not exactly 32 bytes of hex.
std::optional<TlsPin> ParseTlsPin(std::string_view text);

class TlsStream {
 public:
  TlsStream();
  ~TlsStream();
  TlsStream(const TlsStream&) = delete;
  TlsStream& operator=(const TlsStream&) = delete;

  // Runs the client handshake over `socket` (connected; it must outlive the
  // stream's use) for `host` (a name, or an IP address, IPv6 in brackets or
  // not), checking the server; `pin`, when set, replaces the trusted roots.
  // The whole handshake ends within `wait_ms`. On failure the stream is
  // closed and failure() says why.
  bool Handshake(Socket& socket, std::string_view host, const std::optional<TlsPin>& pin,
                 std::uint32_t wait_ms);
  bool established() const;
  TlsFailure failure() const;

  // As Socket::Send and Socket::Receive, inside the session; each call ends
  // within the socket's time-out. Receive gives 0 bytes when the peer ended
  // the session (or closed the connection between records); a connection
  // closed inside a record is an error.
  bool Send(std::span<const Socket::ConstBuffer> buffers, std::size_t& sent);
  bool Receive(char* buffer, std::size_t capacity, std::size_t& received);

  // Forgets the session (the socket is closed by its owner).
  void Close();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace torvane::platform
