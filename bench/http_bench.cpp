// Requests per second of a small SOAP-sized POST with a 200-byte reply over
// loopback, one new connection per request (as each report does), made by
// this transport and by libcurl against the same in-process server; then
// the same over https (TLS 1.3, P-256 certificate, no session resumption,
// both clients verifying it against the same one-certificate trust file).
// An https exchange less an http one is what TLS adds: the handshake (and
// certificate check) all but alone, since the request and reply fit in one
// record each.
//
// The server is a plain blocking socket loop: bench harness code, native only.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <sys/socket.h>

#include <cstring>
#include <string>

#include "loopback_server.h"
#include "soap/http_client.h"
#include "tls_loopback_server.h"

namespace {

const std::string kReply = "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: 200\r\n\r\n" +
                           std::string(200, 'r');

// Answers every request on a connection with kReply until the peer closes.
LoopbackListener& Server() {
  static LoopbackListener server([](int fd) {
    AnswerEachRequest([fd](char* buffer, std::size_t size) { return ::recv(fd, buffer, size, 0); },
                      [fd](const std::string& text) {
                        return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
                      },
                      kReply);
  });
  return server;
}

// About the size of an infoWarn envelope with a short Chinese event text.
const std::string kBody =
    "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>"
    "<snp:infoWarn xmlns:snp=\"http://server:8080/WebDeduRazivor/services/DeduRazivor\"><guid>0123456789</guid>"
    "<when>2026-12-08 00:00:00</when><memos>&#x63D2;&#x5165;&#x666E;&#x901A;U&#x76D8;</memos><logType>2</logType>"
    "</snp:infoWarn></soap:Body></soap:Envelope>" + std::string(150, ' ');

std::string Endpoint() { return "http://127.0.0.1:" + std::to_string(Server().port()) + "/WebDeduRazivor/services/DeduRazivor"; }

// The https server's certificate is the only trusted root, for both clients
// (the transport reads SSL_CERT_FILE at each handshake).
const std::string kTrustFile = "/tmp/torvane-http-bench-" + std::to_string(::getpid()) + ".pem";
TlsLoopbackServer& TlsServer() {
  static TlsLoopbackServer server(kReply, kTrustFile);
  static const bool trusted = ::setenv("SSL_CERT_FILE", kTrustFile.c_str(), 1) == 0;
  (void)trusted;
  return server;
}
std::string TlsEndpoint() {
  return "https://127.0.0.1:" + std::to_string(TlsServer().port()) + "/WebDeduRazivor/services/DeduRazivor";
}

void Exchanges(benchmark::State& state, const std::string& endpoint) {
  torvane::soap::Url url;
  if (!torvane::soap::ParseUrl(endpoint, url)) state.SkipWithError("bad URL");
  torvane::soap::HttpRequestOptions options;
  options.method = "POST";
  options.extra_headers = "SOAPAction: \"\"\r\nAccept: text/xml\r\n";
  options.content_type = "text/xml; charset=utf-8";
  options.body = kBody;
  for (auto _ : state) {
    torvane::soap::HttpClient client;  // a new connection per request
    if (!client.PerformRequest(url, &options) || client.reply().body_length != 200) {
      state.SkipWithError("request failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

void TorvaneTransport(benchmark::State& state) { Exchanges(state, Endpoint()); }
BENCHMARK(TorvaneTransport)->UseRealTime();
void TorvaneTransportHttps(benchmark::State& state) { Exchanges(state, TlsEndpoint()); }
BENCHMARK(TorvaneTransportHttps)->UseRealTime();


std::size_t Collect(char* data, std::size_t size, std::size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

void CurlExchanges(benchmark::State& state, const std::string& url, bool https) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  for (auto _ : state) {
    CURL* curl = curl_easy_init();  // a new handle and connection per request
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "SOAPAction: \"\"");
    headers = curl_slist_append(headers, "Accept: text/xml");
    headers = curl_slist_append(headers, "Content-Type: text/xml; charset=utf-8");
    headers = curl_slist_append(headers, "Expect:");
    std::string reply;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, kBody.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(kBody.size()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    if (https) {
      curl_easy_setopt(curl, CURLOPT_CAINFO, kTrustFile.c_str());
      curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
      curl_easy_setopt(curl, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    }
    const CURLcode rc = curl_easy_perform(curl);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    if (rc != CURLE_OK || reply.size() != 200) {
      state.SkipWithError("curl request failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

void CurlEasy(benchmark::State& state) { CurlExchanges(state, Endpoint(), false); }
BENCHMARK(CurlEasy)->UseRealTime();
void CurlEasyHttps(benchmark::State& state) { CurlExchanges(state, TlsEndpoint(), true); }
BENCHMARK(CurlEasyHttps)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
