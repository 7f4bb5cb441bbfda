#pragma once
// What the caller asks of one request, and the request head built from it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/tls_stream.h"
#include "soap/url.h"

namespace torvane::soap {

enum HttpRequestFlags : unsigned {
  kHttpAutoRedirect = 1u << 0,     // follow 301/302/303 with a Location
  kHttpProcessStatus = 1u << 1,    // judge the reply status (else any reply succeeds)
  kHttpSendBodyInBlocks = 1u << 2, // send the body in send_block pieces after the head
};

struct HttpRequestOptions {
  std::string method = "GET";
  std::string extra_headers;        // complete lines, each ending "\r\n", sent unchanged
  std::string content_type;         // no Content-Type line when empty
  std::string_view body;            // not owned; must outlive PerformRequest
  unsigned flags = kHttpAutoRedirect | kHttpProcessStatus | kHttpSendBodyInBlocks;
  std::uint32_t timeout_ms = 10000; // each send and receive wait
  std::uint32_t deadline_ms = 0;    // the whole exchange, redirects included; 0 = none
  std::size_t send_block = 4096;
  std::size_t read_block = 4096;
  std::uint16_t port = 80;          // used when the URL has port 0
  // https only: the server's key must have this SHA-256 (its certificate's
  // SubjectPublicKeyInfo) instead of a chain to a trusted root.
  std::optional<platform::TlsPin> tls_pin;
};

// The request head, byte for byte:
//   <method> <path><extra> HTTP/1.1\r\n
//   Content-Length: <n>\r\n          (only with a body)
//   Content-Type: <type>\r\n         (only with a content type)
//   <extra header lines>
//   Host: <host name, never the port>\r\n
//   User-Agent: Microsoft-ATL-Native/7.00\r\n
//   \r\n
// An empty path is sent as "/". With `with_extra_headers` false the extra
// header lines are left out (redirected requests). Like any string
// building it may throw std::bad_alloc; PerformRequest turns that into false.
std::string BuildRequestHead(const Url& url, const HttpRequestOptions& options,
                             std::size_t body_length, bool with_extra_headers = true);

}  // namespace torvane::soap
