#pragma once
// A small HTTP/1.1 client: one request at a time over a connection it keeps
// open between requests (unless the server says "Connection: close" or a
// request fails). An "https" URL runs the same exchange inside TLS
// (platform/tls_stream.h). No proxy, no authentication.
//
//   HttpClient client;
//   HttpRequestOptions options;  options.method = "POST"; ...
//   bool ok = client.PerformRequest(url, &options);
//   client.status();              // -1 when no reply was read
//   HttpBodyStream body;
//   if (client.OpenBodyStream(body)) { ... body.Read(buf, n) ... }
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/tls_stream.h"
#include "soap/http_reply.h"
#include "soap/http_request.h"
#include "soap/url.h"

namespace torvane::soap {

// Most redirects followed for one request; one more fails it.
inline constexpr int kMaxRedirects = 10;

// The longest wait for a host name's resolution when the request has no
// deadline; with one, resolution waits at most what is left of it.
inline constexpr std::uint32_t kResolveWaitMs = 60000;

// Where a request failed, for diagnostics: the client itself goes by the
// result of PerformRequest alone.
enum class HttpFailure {
  kNone,
  kUrl,          // not an http URL with a host: nothing was sent
  kResolve,      // the host name did not resolve
  kConnect,      // no connection (refused, unreachable or timed out)
  kTls,          // https: the TLS handshake or the server's check failed
  kSend,         // the request could not be sent in full
  kReply,        // no reply, or one that broke off or is malformed
  kStatus,       // a reply whose status is refused
  kRedirect,     // a redirect not followed (no valid Location, another server, too many)
  kDeadline,     // the exchange's deadline passed first
  kOutOfMemory,  // the request or the reply did not fit in memory
};

// Reads the body of the client's last reply; valid until the next request.
class HttpBodyStream {
 public:
  // Copies up to `size` bytes; returns how many (0 at the end).
  std::size_t Read(void* buffer, std::size_t size);
  std::string_view remaining() const { return data_.substr(position_); }

 private:
  friend class HttpClient;
  std::string_view data_;
  std::size_t position_ = 0;
};

class HttpClient {
 public:
  HttpClient();
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Sends one request and reads its reply. Returns false when the URL is not
  // "http" or "https" with a host, the TLS handshake or its checks fail, the connection or a send fails, the reply cannot be
  // read, or its status is refused (anything but 200-206, 304, 305 and
  // followed redirects), or the options' deadline passes first (the reply
  // then counts as not read: status() is -1). `options` may be null for
  // the defaults.
  bool PerformRequest(const Url& url, const HttpRequestOptions* options);

  int status() const { return reply_.status; }   // -1 when no reply was read
  const HttpReply& reply() const { return reply_; }
  ReadResult last_read_result() const { return read_result_; }
  // Where the last request failed; kNone when it did not.
  HttpFailure failure() const { return failure_; }
  // The URL the last reply came from (after redirects).
  const Url& current_url() const { return url_; }
  // Why the last request's TLS connection was refused (kNone otherwise).
  platform::TlsFailure tls_failure() const { return tls_failure_; }

  // Prepares a stream over the reply body; false when the body is empty.
  bool OpenBodyStream(HttpBodyStream& stream) const;

 private:
  class Source;
  bool Perform(const Url& url, const HttpRequestOptions* options);
  bool EnsureConnected(const HttpRequestOptions& options);
  bool StartTls(const HttpRequestOptions& options);
  bool Receive(char* buffer, std::size_t capacity, std::size_t& received);
  bool Send(std::span<const platform::Socket::ConstBuffer> parts, std::size_t& sent);
  bool SendRequest(const std::string& head, std::string_view body, const HttpRequestOptions& options);
  bool ReadAndProcess(const HttpRequestOptions& options, int redirects_left);
  bool FollowRedirect(const HttpRequestOptions& options, int redirects_left);
  void CloseConnection();
  // Limits the socket's next wait to the time left before the deadline;
  // false once it has passed.
  bool ArmSocket(std::uint32_t wait_ms);
  // Cuts `wait_ms` to the time left before the deadline; false once it has
  // passed.
  bool CutToDeadline(std::uint32_t& wait_ms);
  bool Expired();

  std::unique_ptr<platform::Socket> socket_;
  std::unique_ptr<platform::TlsStream> tls_;  // the session of an https connection
  std::string connected_host_;  // where the open connection goes
  std::uint16_t connected_port_ = 0;
  bool connected_secure_ = false;
  platform::TlsFailure tls_failure_ = platform::TlsFailure::kNone;
  Url url_;
  HttpReply reply_;
  ReadResult read_result_ = ReadResult::kOk;
  HttpFailure failure_ = HttpFailure::kNone;
  std::uint32_t timeout_ms_ = 0;
  std::optional<std::chrono::steady_clock::time_point> deadline_;
  bool expired_ = false;
  bool wait_cut_by_deadline_ = false;  // the last armed wait ends at the deadline
};

}  // namespace torvane::soap
