// One request: connect (or reuse the connection), send the head and the
// body, read the reply, judge its status and follow redirects.
#include "soap/http_client.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "platform/socket.h"

namespace torvane::soap {
namespace {

bool IsAccepted(int status) { return (status >= 200 && status <= 206) || status == 304 || status == 305; }
bool IsRedirect(int status) { return status >= 301 && status <= 303; }

}  // namespace

// Each receive first limits its wait to what is left of the deadline.
class HttpClient::Source final : public ReplySource {
 public:
  explicit Source(HttpClient& client) : client_(client) {}
  bool Receive(char* buffer, std::size_t capacity, std::size_t& received) override {
    received = 0;
    return client_.ArmSocket(client_.timeout_ms_) && client_.Receive(buffer, capacity, received);
  }

 private:
  HttpClient& client_;
};

std::size_t HttpBodyStream::Read(void* buffer, std::size_t size) {
  const std::size_t count = std::min(size, data_.size() - position_);
  if (count != 0) std::memcpy(buffer, data_.data() + position_, count);
  position_ += count;
  return count;
}

HttpClient::HttpClient()
    : socket_(std::make_unique<platform::Socket>()), tls_(std::make_unique<platform::TlsStream>()) {}
HttpClient::~HttpClient() = default;

bool HttpClient::OpenBodyStream(HttpBodyStream& stream) const {
  stream = HttpBodyStream();
  if (reply_.body_length == 0) return false;
  stream.data_ = reply_.body();
  return true;
}

void HttpClient::CloseConnection() {
  tls_->Close();
  socket_->Close();
  connected_host_.clear();
  connected_port_ = 0;
  connected_secure_ = false;
}

bool HttpClient::Receive(char* buffer, std::size_t capacity, std::size_t& received) {
  if (connected_secure_) return tls_->Receive(buffer, capacity, received);
  return socket_->Receive(buffer, capacity, received);
}

bool HttpClient::Send(std::span<const platform::Socket::ConstBuffer> parts, std::size_t& sent) {
  if (connected_secure_) return tls_->Send(parts, sent);
  return socket_->Send(parts, sent);
}

// The handshake as a whole waits no longer than a connection may, and never
// past the deadline.
bool HttpClient::StartTls(const HttpRequestOptions& options) {
  std::uint32_t wait_ms = platform::Socket::kConnectTimeoutMs;
  if (!CutToDeadline(wait_ms)) {
    tls_failure_ = platform::TlsFailure::kHandshakeFailed;
    return false;
  }
  if (tls_->Handshake(*socket_, url_.host_name, options.tls_pin, wait_ms)) return true;
  tls_failure_ = tls_->failure();
  if (deadline_ && std::chrono::steady_clock::now() >= *deadline_) expired_ = true;
  return false;
}

// Reuses an open connection only when it goes to the same host and port,
// with or without TLS as before.
bool HttpClient::EnsureConnected(const HttpRequestOptions& options) {
  const bool secure = url_.scheme_number == kSchemeHttps;
  if (socket_->connected()) {
    if (connected_host_ == url_.host_name && connected_port_ == url_.port && connected_secure_ == secure)
      return true;
    CloseConnection();
  }
  // Resolution counts against the deadline like every other wait.
  std::uint32_t resolve_ms = kResolveWaitMs;
  platform::ResolvedAddress address;
  failure_ = HttpFailure::kResolve;
  if (!CutToDeadline(resolve_ms) ||
      platform::ResolveHost(url_.host_name, url_.port, resolve_ms, address) != platform::ResolveResult::kResolved)
    return false;
  failure_ = HttpFailure::kConnect;
  if (!ArmSocket(platform::Socket::kConnectTimeoutMs) || !socket_->Connect(address, socket_->timeout_ms()))
    return false;
  if (secure && !StartTls(options)) {
    CloseConnection();
    failure_ = HttpFailure::kTls;
    return false;
  }
  failure_ = HttpFailure::kNone;
  connected_secure_ = secure;
  connected_host_ = url_.host_name;
  connected_port_ = url_.port;
  return true;
}

bool HttpClient::SendRequest(const std::string& head, std::string_view body, const HttpRequestOptions& options) {
  std::size_t total = 0;
  std::size_t sent = 0;
  if ((options.flags & kHttpSendBodyInBlocks) == 0) {
    const std::array<platform::Socket::ConstBuffer, 2> parts{{{head.data(), head.size()}, {body.data(), body.size()}}};
    if (!ArmSocket(timeout_ms_) || !Send(std::span(parts.data(), body.empty() ? 1 : 2), sent))
      return false;
    return sent == head.size() + body.size();
  }
  const platform::Socket::ConstBuffer head_part{head.data(), head.size()};
  if (!ArmSocket(timeout_ms_) || !Send(std::span(&head_part, 1), sent)) return false;
  total += sent;
  const std::size_t block = options.send_block == 0 ? 4096 : options.send_block;
  for (std::size_t offset = 0; offset < body.size() && total == head.size() + offset; offset += block) {
    const platform::Socket::ConstBuffer part{body.data() + offset, std::min(block, body.size() - offset)};
    if (!ArmSocket(timeout_ms_) || !Send(std::span(&part, 1), sent)) return false;
    total += sent;
  }
  return total == head.size() + body.size();
}

bool HttpClient::ArmSocket(std::uint32_t wait_ms) {
  if (!CutToDeadline(wait_ms)) return false;
  socket_->set_timeout_ms(wait_ms);
  return true;
}

bool HttpClient::CutToDeadline(std::uint32_t& wait_ms) {
  wait_cut_by_deadline_ = false;
  if (deadline_) {
    // Rounded up, so that a wait cut to the deadline does not end before it.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline_ - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      expired_ = true;
      return false;
    }
    if (static_cast<std::uint64_t>(left.count()) <= wait_ms) {
      wait_ms = static_cast<std::uint32_t>(left.count());
      wait_cut_by_deadline_ = true;
    }
  }
  return true;
}

// A wait cut short by the deadline shows as the socket's time-out.
bool HttpClient::Expired() {
  // A platform wait may end a little early; one that was cut to the deadline
  // and failed has reached it.
  if (!expired_ && deadline_ && (wait_cut_by_deadline_ || std::chrono::steady_clock::now() >= *deadline_))
    expired_ = true;
  return expired_;
}

bool HttpClient::PerformRequest(const Url& url, const HttpRequestOptions* options) {
  bool ok = false;
  try {
    ok = Perform(url, options);
  } catch (const std::bad_alloc&) {  // building the request or growing the reply
    CloseConnection();
    failure_ = HttpFailure::kOutOfMemory;
    ok = false;
  }
  if (!ok && Expired()) {
    // Whatever arrived before the deadline is not a reply.
    CloseConnection();
    reply_.Clear();
    failure_ = HttpFailure::kDeadline;
    return false;
  }
  if (ok) failure_ = HttpFailure::kNone;
  return ok;
}

bool HttpClient::Perform(const Url& url, const HttpRequestOptions* options) {
  reply_.Clear();
  url_.Clear();
  read_result_ = ReadResult::kOk;
  const HttpRequestOptions defaults;
  const HttpRequestOptions& opts = options != nullptr ? *options : defaults;
  timeout_ms_ = opts.timeout_ms == 0 ? platform::Socket::kDefaultTimeoutMs : opts.timeout_ms;
  socket_->set_timeout_ms(timeout_ms_);
  expired_ = false;
  wait_cut_by_deadline_ = false;
  failure_ = HttpFailure::kNone;
  deadline_.reset();
  tls_failure_ = platform::TlsFailure::kNone;
  if (opts.deadline_ms != 0)
    deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(opts.deadline_ms);

  if ((url.scheme_number != kSchemeHttp && url.scheme_number != kSchemeHttps) || url.host_name.empty()) {
    failure_ = HttpFailure::kUrl;
    return false;
  }
  url_ = url;
  if (url_.path.empty()) url_.path = "/";
  if (url_.port == 0) url_.port = opts.port;

  if (!EnsureConnected(opts)) return false;
  if (!SendRequest(BuildRequestHead(url_, opts, opts.body.size()), opts.body, opts)) {
    CloseConnection();
    failure_ = HttpFailure::kSend;
    return false;
  }
  if (!ReadAndProcess(opts, kMaxRedirects)) {
    CloseConnection();
    return false;
  }
  return true;
}

// Reads the reply and judges its status; false means the request failed.
bool HttpClient::ReadAndProcess(const HttpRequestOptions& options, int redirects_left) {
  Source source(*this);
  read_result_ = ReadReply(source, reply_, options.read_block);
  if (reply_.close_connection) CloseConnection();
  if (read_result_ != ReadResult::kOk) {
    failure_ = HttpFailure::kReply;
    return false;
  }
  if ((options.flags & kHttpProcessStatus) == 0) return true;
  if (IsAccepted(reply_.status)) return true;
  if (IsRedirect(reply_.status) && (options.flags & kHttpAutoRedirect) != 0) {
    failure_ = HttpFailure::kRedirect;
    return FollowRedirect(options, redirects_left);
  }
  failure_ = HttpFailure::kStatus;
  return false;  // 401 and 407 would need an authentication handler; none is registered
}

// Sends the request again to the Location. Once that head (and body) went
// out in full, the redirect counts as done and the caller goes by the final
// status, whatever the new reply was.
bool HttpClient::FollowRedirect(const HttpRequestOptions& options, int redirects_left) {
  const std::string* location = reply_.headers.Find("Location");
  if (location == nullptr) return true;  // nothing to follow: the caller sees the 30x
  if (redirects_left <= 0) return false;
  std::string_view reference = *location;
  while (!reference.empty() && (reference.back() == ' ' || reference.back() == '\t')) reference.remove_suffix(1);
  Url target;
  if (!ResolveUrl(url_, reference, target)) return false;
  // An https exchange never continues in cleartext (nor the other way).
  if (target.scheme_number != url_.scheme_number || target.host_name.empty()) return false;
  if (target.path.empty()) target.path = "/";
  if (target.port == 0) target.port = options.port;
  // Only the configured server may answer: a reply from anywhere else would
  // count an event as delivered that the management server never saw. Every
  // hop is held to this, so url_ still has the configured origin here.
  if (!SameOrigin(target, url_)) return false;

  reply_.Clear();
  url_ = std::move(target);
  if (!EnsureConnected(options)) return false;
  // The body goes again with the head that announces it: a head with a
  // Content-Length and no body would leave the server waiting.
  if (!SendRequest(BuildRequestHead(url_, options, options.body.size(), false), options.body, options)) {
    CloseConnection();
    failure_ = HttpFailure::kSend;
    return false;
  }
  if (!ReadAndProcess(options, redirects_left - 1) && socket_->connected()) CloseConnection();
  return true;
}

}  // namespace torvane::soap
