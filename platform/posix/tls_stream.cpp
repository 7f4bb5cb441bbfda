// TLS on POSIX: OpenSSL's libssl over two memory BIOs, so that every byte
// goes through the Socket contract and each of its waits is cut to what is
// left of the call's time. Trust comes from the system's CA bundle (or
// SSL_CERT_FILE / SSL_CERT_DIR, read once per process), or from the pin
// where one is set.
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <string>
#include <vector>

#include "platform/tls_stream.h"

namespace torvane::platform {
namespace {

using Clock = std::chrono::steady_clock;

struct SslFree {
  void operator()(SSL* ssl) const { SSL_free(ssl); }
};

// Record-sized pieces: the most one TLS record carries.
constexpr std::size_t kPiece = 16384;
// Sent records held back at most, before the reply is read.
constexpr std::size_t kQueueLimit = 65536;

// Errors that only say the chain does not end at a trusted root: a pin
// stands in for the root, so these are forgiven when one is set.
bool IsTrustError(int error) {
  switch (error) {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
      return true;
    default:
      return false;
  }
}

TlsFailure FailureOf(int verify_error) {
  switch (verify_error) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
    case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD:
      return TlsFailure::kExpired;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return TlsFailure::kNameMismatch;
    default:
      return TlsFailure::kUntrusted;
  }
}

// Milliseconds left until `end`, rounded up; 0 once it has passed.
std::uint32_t MsLeft(Clock::time_point end) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
  if (left <= 0) return 0;
  return static_cast<std::uint32_t>(std::min<long long>(left, UINT32_MAX));
}

// The client context with the roots loaded, made once per process: loading
// the system's CA bundle takes tens of milliseconds, too much for every
// event. Nothing changes it afterwards, so reporting threads share it; it
// lives as long as the process (reports may run until exit).
SSL_CTX* ClientContext() {
  static SSL_CTX* const context = [] {
    SSL_CTX* made = SSL_CTX_new(TLS_client_method());
    if (made && (SSL_CTX_set_min_proto_version(made, TLS1_2_VERSION) != 1 ||
                 SSL_CTX_set_default_verify_paths(made) != 1)) {
      // Without roots only a pin can pass; the minimum version is not
      // negotiable.
      if (SSL_CTX_get_min_proto_version(made) != TLS1_2_VERSION) {
        SSL_CTX_free(made);
        made = nullptr;
      }
    }
    ERR_clear_error();
    return made;
  }();
  return context;
}

bool PinOf(X509* certificate, TlsPin& pin) {
  unsigned char* der = nullptr;
  const int length = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate), &der);
  if (length <= 0) return false;
  unsigned int size = 0;
  const bool ok = EVP_Digest(der, static_cast<std::size_t>(length), pin.data(), &size, EVP_sha256(), nullptr) == 1 &&
                  size == pin.size();
  OPENSSL_free(der);
  return ok;
}

}  // namespace

struct TlsStream::Impl {
  Socket* socket = nullptr;
  std::unique_ptr<SSL, SslFree> ssl;
  BIO* in = nullptr;   // owned by ssl: bytes from the server
  BIO* out = nullptr;  // owned by ssl: bytes for the server
  bool established = false;
  TlsFailure failure = TlsFailure::kNone;
  std::optional<TlsPin> pin;
  int verify_error = X509_V_OK;  // the first check that failed

  void Reset() {
    ssl.reset();
    in = out = nullptr;
    established = false;
    ERR_clear_error();
  }

  static int Verify(int ok, X509_STORE_CTX* store) {
    SSL* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* self = ssl ? static_cast<Impl*>(SSL_get_app_data(ssl)) : nullptr;
    if (ok) return 1;
    const int error = X509_STORE_CTX_get_error(store);
    if (self && self->pin && IsTrustError(error)) return 1;
    if (self && self->verify_error == X509_V_OK) self->verify_error = error;
    return 0;
  }

  bool Setup(std::string_view host) {
    SSL_CTX* context = ClientContext();
    if (!context) return false;
    ssl.reset(SSL_new(context));
    if (!ssl || SSL_set_min_proto_version(ssl.get(), TLS1_2_VERSION) != 1) return false;
    SSL_set_verify(ssl.get(), SSL_VERIFY_PEER, &Impl::Verify);
    SSL_set_app_data(ssl.get(), this);
    in = BIO_new(BIO_s_mem());
    out = BIO_new(BIO_s_mem());
    if (!in || !out) {
      BIO_free(in);
      BIO_free(out);
      in = out = nullptr;
      return false;
    }
    SSL_set_bio(ssl.get(), in, out);
    SSL_set_connect_state(ssl.get());

    std::string name(host);
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
    // An address literal is matched against the certificate's IP entries
    // and sends no server name; a host name is both sent and matched.
    if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl.get()), name.c_str()) == 1) return true;
    return SSL_set1_host(ssl.get(), name.c_str()) == 1 && SSL_set_tlsext_host_name(ssl.get(), name.c_str()) == 1;
  }

  // Sends whatever libssl has queued for the server.
  bool Flush(Clock::time_point end) {
    char* data = nullptr;
    const long pending = BIO_get_mem_data(out, &data);
    if (pending <= 0) return true;
    const std::uint32_t left = MsLeft(end);
    if (left == 0) return false;
    socket->set_timeout_ms(left);
    const Socket::ConstBuffer part{data, static_cast<std::size_t>(pending)};
    std::size_t sent = 0;
    if (!socket->Send(std::span(&part, 1), sent) || sent != part.size) return false;
    (void)BIO_reset(out);
    return true;
  }

  // Hands libssl the next bytes from the server; `closed` when the server
  // closed the connection.
  bool Fill(Clock::time_point end, bool& closed) {
    closed = false;
    const std::uint32_t left = MsLeft(end);
    if (left == 0) return false;
    socket->set_timeout_ms(left);
    std::vector<char> piece(kPiece);
    std::size_t received = 0;
    if (!socket->Receive(piece.data(), piece.size(), received)) return false;
    if (received == 0) {
      closed = true;
      return true;
    }
    return BIO_write(in, piece.data(), static_cast<int>(received)) == static_cast<int>(received);
  }

  bool RunHandshake(Clock::time_point end) {
    for (;;) {
      const int result = SSL_do_handshake(ssl.get());
      // The client's last flight waits for the request and leaves with it
      // (one segment, not two held apart by Nagle); any other flight, or
      // an alert, goes out now.
      if (result == 1) return true;
      if (!Flush(end) || SSL_get_error(ssl.get(), result) != SSL_ERROR_WANT_READ) return false;
      bool closed = false;
      if (!Fill(end, closed) || closed) return false;
    }
  }
};

TlsStream::TlsStream() : impl_(std::make_unique<Impl>()) {}
TlsStream::~TlsStream() = default;

bool TlsStream::established() const { return impl_->established; }
TlsFailure TlsStream::failure() const { return impl_->failure; }
void TlsStream::Close() { impl_->Reset(); }

bool TlsStream::Handshake(Socket& socket, std::string_view host, const std::optional<TlsPin>& pin,
                          std::uint32_t wait_ms) {
  Impl& s = *impl_;
  s.Reset();
  s.socket = &socket;
  s.pin = pin;
  s.failure = TlsFailure::kNone;
  s.verify_error = X509_V_OK;
  const auto end = Clock::now() + std::chrono::milliseconds(wait_ms);
  const std::uint32_t saved = socket.timeout_ms();
  const bool done = s.Setup(host) && s.RunHandshake(end);
  socket.set_timeout_ms(saved);
  if (!done) {
    s.failure = s.verify_error != X509_V_OK ? FailureOf(s.verify_error) : TlsFailure::kHandshakeFailed;
    s.Reset();
    return false;
  }
  if (s.pin) {
    X509* certificate = SSL_get0_peer_certificate(s.ssl.get());
    TlsPin actual{};
    if (!certificate || !PinOf(certificate, actual) || actual != *s.pin) {
      s.failure = TlsFailure::kPinMismatch;
      s.Reset();
      return false;
    }
  }
  s.established = true;
  return true;
}

// Records are queued and go out together when the reply is read (or the
// queue grows large): a request's head and body written one after the
// other would otherwise leave as small segments, the second held back by
// Nagle until the server's delayed acknowledgement of the first.
bool TlsStream::Send(std::span<const Socket::ConstBuffer> buffers, std::size_t& sent) {
  Impl& s = *impl_;
  sent = 0;
  if (!s.established) return false;
  const std::uint32_t budget = s.socket->timeout_ms();
  const auto end = Clock::now() + std::chrono::milliseconds(budget);
  bool ok = true;
  for (const Socket::ConstBuffer& buffer : buffers) {
    for (std::size_t offset = 0; ok && offset < buffer.size;) {
      const std::size_t size = std::min(kPiece, buffer.size - offset);
      ok = SSL_write(s.ssl.get(), buffer.data + offset, static_cast<int>(size)) == static_cast<int>(size) &&
           (BIO_ctrl_pending(s.out) < kQueueLimit || s.Flush(end));
      if (ok) {
        offset += size;
        sent += size;
      }
    }
  }
  s.socket->set_timeout_ms(budget);
  return ok;
}

bool TlsStream::Receive(char* buffer, std::size_t capacity, std::size_t& received) {
  Impl& s = *impl_;
  received = 0;
  if (!s.established) return false;
  const std::uint32_t budget = s.socket->timeout_ms();
  const auto end = Clock::now() + std::chrono::milliseconds(budget);
  const int size = static_cast<int>(std::min<std::size_t>(capacity, INT_MAX));
  bool ok = false;
  // What Send queued goes out before anything is awaited.
  if (!s.Flush(end)) {
    s.socket->set_timeout_ms(budget);
    return false;
  }
  for (;;) {
    const int n = SSL_read(s.ssl.get(), buffer, size);
    if (n > 0) {
      received = static_cast<std::size_t>(n);
      ok = true;
      break;
    }
    const int error = SSL_get_error(s.ssl.get(), n);
    if (!s.Flush(end)) break;  // e.g. a key update's answer
    if (error == SSL_ERROR_ZERO_RETURN) {  // the server ended the session
      ok = true;
      break;
    }
    if (error != SSL_ERROR_WANT_READ) break;
    bool closed = false;
    if (!s.Fill(end, closed)) break;
    if (closed) {
      // Between records the close ends the reply (servers often skip the
      // close alert); inside a record the reply is cut and cannot count.
      ok = SSL_has_pending(s.ssl.get()) == 0 && BIO_ctrl_pending(s.in) == 0;
      break;
    }
  }
  s.socket->set_timeout_ms(budget);
  return ok;
}

}  // namespace torvane::platform
