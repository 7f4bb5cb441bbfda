#include "soap/http_request.h"

namespace torvane::soap {

std::string BuildRequestHead(const Url& url, const HttpRequestOptions& options,
                             std::size_t body_length, bool with_extra_headers) {
  std::string head;
  head.reserve(256 + url.path.size() + url.extra_info.size() + options.extra_headers.size());
  head.append(options.method).append(" ");
  head.append(url.path.empty() ? std::string_view("/") : std::string_view(url.path));
  head.append(url.extra_info).append(" HTTP/1.1\r\n");
  if (body_length != 0) head.append("Content-Length: ").append(std::to_string(body_length)).append("\r\n");
  if (!options.content_type.empty()) head.append("Content-Type: ").append(options.content_type).append("\r\n");
  if (with_extra_headers) head.append(options.extra_headers);
  head.append("Host: ").append(url.host_name).append("\r\n");
  head.append("User-Agent: Microsoft-ATL-Native/7.00\r\n");
  head.append("\r\n");
  return head;
}

}  // namespace torvane::soap
