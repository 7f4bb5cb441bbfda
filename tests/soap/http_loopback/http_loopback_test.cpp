// The transport against the fault server on loopback. The port comes from
// TORVANE_HTTP_PORT (run_with_server.py sets it); runs natively and under Wine.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/name_resolver.h"
#include "soap/http_client.h"

namespace torvane::soap {
namespace {

std::string Port() {
  const char* port = std::getenv("TORVANE_HTTP_PORT");
  return port == nullptr ? std::string() : std::string(port);
}

Url At(const std::string& path, const std::string& host = "127.0.0.1") {
  Url url;
  EXPECT_TRUE(ParseUrl("http://" + host + ":" + Port() + path, url)) << path;
  return url;
}

HttpRequestOptions SoapPost(std::string_view body) {
  HttpRequestOptions options;
  options.method = "POST";
  options.extra_headers = "SOAPAction: \"\"\r\nAccept: text/xml\r\n";
  options.content_type = "text/xml; charset=utf-8";
  options.body = body;
  return options;
}

std::string Body(const HttpClient& client) {
  HttpBodyStream stream;
  if (!client.OpenBodyStream(stream)) return {};
  std::string out;
  char piece[7];  // small on purpose: the stream must hand out every byte in order
  for (std::size_t n; (n = stream.Read(piece, sizeof piece)) != 0;) out.append(piece, n);
  return out;
}

class HttpLoopback : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Port().empty()) GTEST_SKIP() << "TORVANE_HTTP_PORT not set; run through run_with_server.py";
  }
  HttpClient client;
};

TEST_F(HttpLoopback, PostGoesOutByteExactInBlocks) {
  const std::string body = std::string(10000, 'a') + "<end/>";  // several 4096-byte blocks
  const HttpRequestOptions options = SoapPost(body);
  ASSERT_TRUE(client.PerformRequest(At("/echo?x=1"), &options));
  EXPECT_EQ(client.status(), 200);
  EXPECT_EQ(Body(client), "POST /echo?x=1 HTTP/1.1\r\n"
                          "Content-Length: 10006\r\n"
                          "Content-Type: text/xml; charset=utf-8\r\n"
                          "SOAPAction: \"\"\r\n"
                          "Accept: text/xml\r\n"
                          "Host: 127.0.0.1\r\n"
                          "User-Agent: Microsoft-ATL-Native/7.00\r\n"
                          "\r\n" + body);
}

TEST_F(HttpLoopback, HostHeaderIsBareNameAndEmptyPathIsSlash) {
  EXPECT_FALSE(client.PerformRequest(At("", "localhost"), nullptr));  // 404 for "/", refused
  EXPECT_EQ(client.status(), 404);
  EXPECT_EQ(Body(client), "unknown path /");
  HttpRequestOptions single;  // head and body in one send
  single.flags &= ~kHttpSendBodyInBlocks;
  single.method = "PUT";
  single.body = "xyz";
  ASSERT_TRUE(client.PerformRequest(At("/echo", "localhost"), &single));
  EXPECT_EQ(Body(client), "PUT /echo HTTP/1.1\r\nContent-Length: 3\r\nHost: localhost\r\n"
                          "User-Agent: Microsoft-ATL-Native/7.00\r\n\r\nxyz");
}

TEST_F(HttpLoopback, RefusedUrlsSendNothing) {
  Url https;
  ASSERT_TRUE(ParseUrl("https://127.0.0.1:" + Port() + "/echo", https));
  EXPECT_FALSE(client.PerformRequest(https, nullptr));
  EXPECT_EQ(client.status(), -1);
  Url no_host;
  ASSERT_TRUE(ParseUrl("http:///echo", no_host));
  EXPECT_FALSE(client.PerformRequest(no_host, nullptr));
  EXPECT_FALSE(client.PerformRequest(Url{}, nullptr));
}

TEST_F(HttpLoopback, ReplyForms) {
  ASSERT_TRUE(client.PerformRequest(At("/chunked"), nullptr));
  EXPECT_EQ(Body(client), "chunk-decoded");  // chunked wins over Content-Length

  ASSERT_TRUE(client.PerformRequest(At("/chunked-trailer"), nullptr));
  EXPECT_EQ(Body(client), "firstsecond");
  ASSERT_NE(client.reply().headers.Find("x-checksum"), nullptr);
  EXPECT_EQ(*client.reply().headers.Find("x-checksum"), "abc123");

  ASSERT_TRUE(client.PerformRequest(At("/chunked-capital"), nullptr));
  EXPECT_EQ(Body(client), "3\r\nabc\r\n0\r\n\r\n");

  ASSERT_TRUE(client.PerformRequest(At("/continue"), nullptr));
  EXPECT_EQ(client.status(), 200);
  EXPECT_EQ(Body(client), "after continue");

  ASSERT_TRUE(client.PerformRequest(At("/dup"), nullptr));
  ASSERT_NE(client.reply().headers.Find("X-DUP"), nullptr);
  EXPECT_EQ(*client.reply().headers.Find("X-DUP"), "1,2");

  ASSERT_TRUE(client.PerformRequest(At("/until-close"), nullptr));
  EXPECT_EQ(Body(client), "body without length, ended by the close");
}

TEST_F(HttpLoopback, StatusTable) {
  for (int status : {200, 201, 202, 206, 304, 305}) {
    SCOPED_TRACE(status);
    EXPECT_TRUE(client.PerformRequest(At("/status/" + std::to_string(status)), nullptr));
    EXPECT_EQ(client.status(), status);
  }
  for (int status : {207, 300, 400, 404, 407, 500, 503}) {
    SCOPED_TRACE(status);
    EXPECT_FALSE(client.PerformRequest(At("/status/" + std::to_string(status)), nullptr));
    EXPECT_EQ(client.status(), status);  // the reply was read: the caller can tell a 500
  }
  HttpBodyStream stream;
  EXPECT_TRUE(client.OpenBodyStream(stream));  // the 503's body is kept
  EXPECT_EQ(stream.remaining(), "s503");
  EXPECT_FALSE(client.PerformRequest(At("/auth"), nullptr));
  EXPECT_EQ(client.status(), 401);
  EXPECT_EQ(client.reply().auth_schemes, (std::vector<std::string>{"Basic realm=\"torvane\""}));
  HttpRequestOptions judge_nothing;
  judge_nothing.flags = 0;
  EXPECT_TRUE(client.PerformRequest(At("/status/500"), &judge_nothing));
}

TEST_F(HttpLoopback, ConnectionReuseAndClose) {
  ASSERT_TRUE(client.PerformRequest(At("/conn"), nullptr));
  const std::string first = Body(client);
  ASSERT_TRUE(client.PerformRequest(At("/conn"), nullptr));
  EXPECT_EQ(Body(client), first);  // same connection
  ASSERT_TRUE(client.PerformRequest(At("/conn-close"), nullptr));
  EXPECT_EQ(Body(client), first);
  ASSERT_TRUE(client.PerformRequest(At("/conn"), nullptr));
  EXPECT_NE(Body(client), first);  // the server said close: a new connection
  // Another host (same server) gets its own connection.
  const std::string second = Body(client);
  ASSERT_TRUE(client.PerformRequest(At("/conn", "localhost"), nullptr));
  EXPECT_NE(Body(client), second);
}

TEST_F(HttpLoopback, Redirects) {
  const HttpRequestOptions options = SoapPost("<x/>");
  ASSERT_TRUE(client.PerformRequest(At("/redirect-abs"), &options));
  EXPECT_EQ(client.status(), 200);
  // The redirected request: stored method, no extra header lines, body sent again.
  EXPECT_EQ(Body(client), "POST /echo?from=abs HTTP/1.1\r\nContent-Length: 4\r\n"
                          "Content-Type: text/xml; charset=utf-8\r\nHost: 127.0.0.1\r\n"
                          "User-Agent: Microsoft-ATL-Native/7.00\r\n\r\n<x/>");
  EXPECT_EQ(client.current_url().extra_info, "?from=abs");

  ASSERT_TRUE(client.PerformRequest(At("/sub/redirect-rel"), nullptr));
  EXPECT_EQ(client.status(), 404);  // "/sub/echo" does not exist; the redirect still counts
  EXPECT_EQ(client.current_url().path, "/sub/echo");
  ASSERT_TRUE(client.PerformRequest(At("/redirect-rel"), nullptr));
  EXPECT_EQ(client.status(), 200);
  EXPECT_EQ(Body(client).substr(0, 28), "GET /echo?from=rel HTTP/1.1\r");

  ASSERT_TRUE(client.PerformRequest(At("/redirect-close"), nullptr));  // reconnects
  EXPECT_EQ(client.status(), 200);

  ASSERT_TRUE(client.PerformRequest(At("/redirect-none"), nullptr));
  EXPECT_EQ(client.status(), 302);
  EXPECT_EQ(Body(client), "nowhere");

  EXPECT_FALSE(client.PerformRequest(At("/redirect-https"), nullptr));
  HttpRequestOptions manual;
  manual.flags &= ~kHttpAutoRedirect;
  EXPECT_FALSE(client.PerformRequest(At("/redirect-abs"), &manual));
  EXPECT_EQ(client.status(), 302);
}

TEST_F(HttpLoopback, RedirectLoopEndsAfterTheHopLimit) {
  ASSERT_TRUE(client.PerformRequest(At("/_log"), nullptr));
  const auto count = [this] {
    EXPECT_TRUE(client.PerformRequest(At("/_log"), nullptr));
    const std::string log = Body(client);
    const std::size_t at = log.find("/redirect-loop ");
    return at == std::string::npos ? 0 : std::stoi(log.substr(at + 15));
  };
  const int before = count();
  EXPECT_TRUE(client.PerformRequest(At("/redirect-loop"), nullptr));
  EXPECT_EQ(client.status(), 302);
  EXPECT_EQ(count() - before, kMaxRedirects + 1);
}

// A redirect to another server fails the request, and nothing is sent there
// (the same server under another name stands in for a foreign one).
TEST_F(HttpLoopback, RedirectToAnotherServerFails) {
  const HttpRequestOptions options = SoapPost("<event/>");
  EXPECT_FALSE(client.PerformRequest(At("/redirect-host"), &options));
  EXPECT_EQ(client.status(), 302);
  ASSERT_TRUE(client.PerformRequest(At("/_log"), nullptr));
  EXPECT_EQ(Body(client).find("/foreign"), std::string::npos);
}

TEST_F(HttpLoopback, BrokenServersFailCleanly) {
  struct Case {
    const char* path;
    ReadResult result;
  };
  for (const Case& c : {Case{"/short-body", ReadResult::kBodyFailed}, Case{"/short-chunk", ReadResult::kChunkFailed},
                        Case{"/huge-length", ReadResult::kTooLarge}, Case{"/huge-chunk", ReadResult::kChunkFailed},
                        Case{"/endless-head", ReadResult::kTooLarge}, Case{"/endless-body", ReadResult::kTooLarge},
                        Case{"/garbage", ReadResult::kBadStatusLine}}) {
    SCOPED_TRACE(c.path);
    EXPECT_FALSE(client.PerformRequest(At(c.path), nullptr));
    EXPECT_EQ(client.last_read_result(), c.result);
    HttpBodyStream stream;
    EXPECT_FALSE(client.OpenBodyStream(stream));
  }
  // The client is usable again afterwards.
  EXPECT_TRUE(client.PerformRequest(At("/status/200"), nullptr));
}

TEST_F(HttpLoopback, NoListenerFailsTheConnection) {
  Url closed;
  ASSERT_TRUE(ParseUrl("http://127.0.0.1:1/", closed));  // nothing listens on port 1
  EXPECT_FALSE(client.PerformRequest(closed, nullptr));
  EXPECT_EQ(client.status(), -1);
  Url unknown;
  ASSERT_TRUE(ParseUrl("http://no-such-host.invalid/", unknown));
  EXPECT_FALSE(client.PerformRequest(unknown, nullptr));
}

TEST_F(HttpLoopback, StalledServerFailsAfterTheTimeout) {
  using Clock = std::chrono::steady_clock;
  HttpRequestOptions options;
  options.timeout_ms = 1500;
  auto start = Clock::now();
  EXPECT_FALSE(client.PerformRequest(At("/stall"), &options));
  auto waited = Clock::now() - start;
  EXPECT_EQ(client.status(), -1);
  EXPECT_EQ(client.last_read_result(), ReadResult::kHeadFailed);
  EXPECT_GE(waited, std::chrono::milliseconds(1400));
  EXPECT_LT(waited, std::chrono::seconds(8));

  start = Clock::now();
  EXPECT_FALSE(client.PerformRequest(At("/stall-body"), &options));
  EXPECT_EQ(client.last_read_result(), ReadResult::kBodyFailed);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(8));
  EXPECT_TRUE(client.PerformRequest(At("/status/200"), &options));
}

// A server that trickles a byte now and then never lets a wait time out;
// the deadline ends the exchange, head or body, as if no reply came.
TEST_F(HttpLoopback, TricklingServerIsCutOffAtTheDeadline) {
  using Clock = std::chrono::steady_clock;
  HttpRequestOptions options;
  options.deadline_ms = 1500;
  for (const char* path : {"/trickle", "/trickle-body"}) {
    const auto start = Clock::now();
    EXPECT_FALSE(client.PerformRequest(At(path), &options)) << path;
    const auto waited = Clock::now() - start;
    EXPECT_EQ(client.status(), -1) << path;
    EXPECT_GE(waited, std::chrono::milliseconds(1400)) << path;
    EXPECT_LT(waited, std::chrono::seconds(5)) << path;
  }
  // The next request on the same client starts with a fresh deadline.
  EXPECT_TRUE(client.PerformRequest(At("/status/200"), &options));
  EXPECT_EQ(client.status(), 200);
}

// A name server that never answers: resolution is part of the exchange, so
// the deadline ends it too, and nothing was sent.
bool NeverAnswers(const std::string&, std::uint16_t, platform::ResolvedAddress&) {
  std::this_thread::sleep_for(std::chrono::seconds(10));
  return false;
}

TEST_F(HttpLoopback, ResolutionThatNeverAnswersIsCutOffAtTheDeadline) {
  using Clock = std::chrono::steady_clock;
  platform::SetHostLookupForTests(&NeverAnswers);
  HttpRequestOptions options;
  options.deadline_ms = 1500;
  const auto start = Clock::now();
  EXPECT_FALSE(client.PerformRequest(At("/status/200", "unanswered.test"), &options));
  const auto waited = Clock::now() - start;
  platform::SetHostLookupForTests(nullptr);
  EXPECT_EQ(client.status(), -1);
  EXPECT_GE(waited, std::chrono::milliseconds(1400));
  EXPECT_LT(waited, std::chrono::seconds(8));  // well before the lookup itself ends
  // Numeric hosts never wait for a name server.
  EXPECT_TRUE(client.PerformRequest(At("/status/200"), &options));
}

// The default receive wait is 10 s.
TEST_F(HttpLoopback, DefaultTimeoutIsTenSeconds) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  EXPECT_FALSE(client.PerformRequest(At("/stall"), nullptr));
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(9900));
  EXPECT_LT(waited, std::chrono::seconds(20));
}

}  // namespace
}  // namespace torvane::soap
