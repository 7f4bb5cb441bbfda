#include <gtest/gtest.h>

#include <string>

#include "soap/http_request.h"

namespace torvane::soap {
namespace {

TEST(RequestHead, SoapPostIsByteExact) {
  Url url;
  ASSERT_TRUE(ParseUrl("http://srv.example:8080/WebDeduRazivor/services/DeduRazivor", url));
  HttpRequestOptions options;
  options.method = "POST";
  options.extra_headers = "SOAPAction: \"\"\r\nAccept: text/xml\r\n";
  options.content_type = "text/xml; charset=utf-8";
  const std::string body(321, 'x');
  options.body = body;
  EXPECT_EQ(BuildRequestHead(url, options, body.size()),
            "POST /WebDeduRazivor/services/DeduRazivor HTTP/1.1\r\n"
            "Content-Length: 321\r\n"
            "Content-Type: text/xml; charset=utf-8\r\n"
            "SOAPAction: \"\"\r\n"
            "Accept: text/xml\r\n"
            "Host: srv.example\r\n"
            "User-Agent: Microsoft-ATL-Native/7.00\r\n"
            "\r\n");
  // A redirected request repeats the length and type lines, not the extra ones.
  EXPECT_EQ(BuildRequestHead(url, options, body.size(), false),
            "POST /WebDeduRazivor/services/DeduRazivor HTTP/1.1\r\n"
            "Content-Length: 321\r\n"
            "Content-Type: text/xml; charset=utf-8\r\n"
            "Host: srv.example\r\n"
            "User-Agent: Microsoft-ATL-Native/7.00\r\n"
            "\r\n");
}

TEST(RequestHead, DefaultsLeaveOutBodyLinesAndSendSlashForEmptyPath) {
  Url url;
  ASSERT_TRUE(ParseUrl("http://h?x=1#f", url));
  EXPECT_EQ(BuildRequestHead(url, HttpRequestOptions{}, 0),
            "GET /?x=1#f HTTP/1.1\r\n"
            "Host: h\r\n"
            "User-Agent: Microsoft-ATL-Native/7.00\r\n"
            "\r\n");
}

}  // namespace
}  // namespace torvane::soap
