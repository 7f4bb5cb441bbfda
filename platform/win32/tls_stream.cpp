// TLS on Windows is not built yet: every handshake is refused, so an https
// address leaves its events in the store as any failed exchange does.
#include "platform/tls_stream.h"

namespace torvane::platform {

struct TlsStream::Impl {
  TlsFailure failure = TlsFailure::kNone;
};

TlsStream::TlsStream() : impl_(std::make_unique<Impl>()) {}
TlsStream::~TlsStream() = default;

bool TlsStream::established() const { return false; }
TlsFailure TlsStream::failure() const { return impl_->failure; }
void TlsStream::Close() {}

bool TlsStream::Handshake(Socket&, std::string_view, const std::optional<TlsPin>&, std::uint32_t) {
  impl_->failure = TlsFailure::kHandshakeFailed;
  return false;
}

bool TlsStream::Send(std::span<const Socket::ConstBuffer>, std::size_t& sent) {
  sent = 0;
  return false;
}

bool TlsStream::Receive(char*, std::size_t, std::size_t& received) {
  received = 0;
  return false;
}

}  // namespace torvane::platform
