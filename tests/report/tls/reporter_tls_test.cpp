// Events to an https WebAddress, end to end through ReportEvent, against the
// loopback servers of run_with_tls_servers.py (a test CA it made, trusted
// through SSL_CERT_FILE): a good certificate delivers; every hostile server
// leaves the event stored within the exchange's deadline, with one log line
// that says why; nothing ever continues in cleartext.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/tls_stream.h"
#include "report/reporter.h"
#include "report/warning_store.h"
#include "soap/info_warn_client.h"
#include "../e2e/server_fixture.h"

namespace torvane::test {
namespace {

constexpr char kPath[] = "/WebDeduRazivor/services/DeduRazivor";
// Short enough for the suite, long enough for a handshake on a busy machine.
constexpr std::uint32_t kDeadlineMs = 2000;

platform::LocalTime FixedTime() { return {2026, 1, 2, 3, 4, 5}; }

std::map<std::string, std::string> EnvMap(const char* name) {
  std::map<std::string, std::string> out;
  const char* text = std::getenv(name);
  std::istringstream in(text ? text : "");
  for (std::string item; std::getline(in, item, ',');) {
    const auto eq = item.find('=');
    if (eq != std::string::npos) out[item.substr(0, eq)] = item.substr(eq + 1);
  }
  return out;
}


class ReporterTls : public ServerTest {
 protected:

  void SetUp() override {
    ServerTest::SetUp();
    if (IsSkipped()) return;
    ports_ = EnvMap("TORVANE_TLS_PORTS");
    pins_ = EnvMap("TORVANE_TLS_PINS");
    if (ports_.empty()) GTEST_SKIP() << "run through run_with_tls_servers.py";
    soap::SetInfoWarnDeadlineForTests(kDeadlineMs);
  }
  void TearDown() override {
    soap::SetInfoWarnDeadlineForTests(0);
    ServerTest::TearDown();
  }

  std::string Url(const std::string& server, const std::string& host = "localhost",
                  const std::string& scheme = "https", const std::string& path = kPath) {
    return scheme + "://" + host + ":" + ports_.at(server) + path;
  }
  void ConfigureTls(const std::string& address, const std::string& pin = "") const {
    host_.Write("id.cfg", "[KOLMERA]\r\nUID=T1\r\n");
    std::string ini = "[KOLMERA]\r\nWebAddress=" + address + "\r\n";
    if (!pin.empty()) ini += "WebCertPin=" + pin + "\r\n";
    host_.Write("kolMera2.ini", ini);
  }
  std::vector<std::string> HttpCalls() const {
    std::vector<std::string> lines;
    std::ifstream in(dir_ + "/http-calls.jsonl", std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty()) lines.push_back(line);
    }
    return lines;
  }

  // Reports `n` events; the first is the one that meets the server.
  void ExpectStored(const std::string& server, const std::string& log_line, int n = 2) {
    const auto calls = Calls().size();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) EXPECT_EQ(report::ReportEvent("e" + std::to_string(i), 2, FixedTime), -1);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_LT(waited, std::chrono::milliseconds(kDeadlineMs + 1500)) << server << " held the reporter";
    EXPECT_EQ(Records().size(), static_cast<std::size_t>(n));
    EXPECT_EQ(Calls().size(), calls) << "the event reached the stand-in";
    EXPECT_EQ(LogCount(log_line), 1u) << Log();
  }

  // The trust a server's certificate gets: the test CA through the roots
  // natively; under Windows builds the pin of the certificate's key, since
  // Wine's chain engine trusts only the host's CA bundle, whatever is added
  // to its root stores (the root path is tested natively).
  std::string Trust(const std::string& certificate) const {
#ifdef _WIN32
    return pins_.at(certificate);
#else
    (void)certificate;
    return "";
#endif
  }

  std::map<std::string, std::string> ports_;
  std::map<std::string, std::string> pins_;
};

std::string Refused(const std::string& port, const std::string& reason, const std::string& host = "localhost") {
  return "Error:Server refused by the TLS check (" + host + ":" + port + ": " + reason +
         "), events are stored without sending; next try in 30 s\r\n";
}

TEST_F(ReporterTls, TrustedCertificateDeliversByNameAndByAddress) {
#ifdef _WIN32
  // Wine's SSL policy matches names only, never an address against the
  // certificate's IP entries: the address form is tested natively.
  const std::vector<std::string> hosts{"localhost"};
#else
  const std::vector<std::string> hosts{"localhost", "127.0.0.1"};
#endif
  for (const std::string& host : hosts) {
    SCOPED_TRACE(host);
    const auto calls = Calls().size();
    ConfigureTls(Url("good", host), Trust("good"));
    EXPECT_EQ(report::ReportEvent("over tls", 2, FixedTime), 0);
    ASSERT_EQ(Calls().size(), calls + 1);
    EXPECT_NE(Calls().back().find(JsonField("memos", "over tls")), std::string::npos);
    EXPECT_NE(Calls().back().find("\"Host\":\"" + host + "\""), std::string::npos);
  }
  EXPECT_TRUE(Records().empty());
  EXPECT_EQ(Log(), "");
}

// Reporting threads share the process's TLS setup: they may meet in it.
TEST_F(ReporterTls, ThreadsReportOverTlsAtOnce) {
  ConfigureTls(Url("good"), Trust("good"));
  const auto calls = Calls().size();
  std::atomic<int> delivered{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&delivered, t] {
      for (int i = 0; i < 4; ++i) {
        if (report::ReportEvent("t" + std::to_string(t) + "e" + std::to_string(i), 2, FixedTime) == 0) ++delivered;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(delivered.load(), 12);
  EXPECT_EQ(Calls().size(), calls + 12);
  EXPECT_TRUE(Records().empty());
}

// Each hostile server: the event is stored, the next one of the quiet period
// skips the network, and one line names the reason.
TEST_F(ReporterTls, HostileServersLeaveTheEventStoredWithTheReason) {
  struct Case {
    std::string server;
    std::string certificate;  // whose trust the address gets
    std::string reason;
  };
  for (const Case& c : std::vector<Case>{{"selfsigned", "", "untrusted"},
                                         {"expired", "expired", "expired"},
                                         {"wronghost", "wronghost", "name mismatch"},
                                         {"tls10", "good", "handshake failed"},
                                         {"stall", "good", "handshake failed"},
                                         {"garbage", "good", "handshake failed"},
                                         {"http", "good", "handshake failed"}}) {
    SCOPED_TRACE(c.server);
    report::ProcessServerReachability().Reset();
    ConfigureTls(Url(c.server), c.certificate.empty() ? "" : Trust(c.certificate));
    ExpectStored(c.server, Refused(ports_.at(c.server), c.reason));
    std::remove(Store().c_str());
    std::remove(Path("usboperror.log").c_str());
  }
  EXPECT_TRUE(HttpCalls().empty()) << "an https address went out in cleartext";
}

// A reply cut inside its TLS record is no reply: the server counts as not
// answering, as over http.
TEST_F(ReporterTls, AReplyCutInsideItsRecordIsNotAnAnswer) {
  ConfigureTls(Url("cut"), Trust("good"));
  ExpectStored("cut",
               "Error:Server not answering (localhost:" + ports_.at("cut") +
                   "), events are stored without sending; next try in 30 s\r\n");
}

TEST_F(ReporterTls, APinStandsInForTheTrustedRoots) {
  // The self-signed server is delivered to once its key is pinned ...
  const auto calls = Calls().size();
  ConfigureTls(Url("selfsigned"), pins_.at("selfsigned"));
  EXPECT_EQ(report::ReportEvent("pinned", 2, FixedTime), 0);
  // ... (written as a fingerprint with colons, upper case) ...
  std::string fingerprint;
  for (std::size_t i = 0; i < pins_.at("selfsigned").size(); i += 2) {
    if (i != 0) fingerprint += ':';
    fingerprint += pins_.at("selfsigned").substr(i, 2);
  }
  for (char& ch : fingerprint) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  ConfigureTls(Url("selfsigned"), fingerprint);
  EXPECT_EQ(report::ReportEvent("pinned", 2, FixedTime), 0);
  EXPECT_EQ(Calls().size(), calls) << "the self-signed stand-in records nothing";
  EXPECT_TRUE(Records().empty());
  // ... but a pin still wants the right name.
  ConfigureTls(Url("wronghost"), pins_.at("wronghost"));
  ExpectStored("wronghost", Refused(ports_.at("wronghost"), "name mismatch"), 1);
}

TEST_F(ReporterTls, AnotherKeyThanThePinnedOneIsRefusedEvenWhenTrusted) {
  ConfigureTls(Url("good"), pins_.at("selfsigned"));
  ExpectStored("good", Refused(ports_.at("good"), "pin mismatch"));
}

TEST_F(ReporterTls, AnUnreadablePinRefusesRatherThanFallingBackToTheRoots) {
  ConfigureTls(Url("good"), "not-a-pin");
  ExpectStored("good", Refused(ports_.at("good"), "pin mismatch"));
}

TEST_F(ReporterTls, RedirectsStayOnTheConfiguredHttpsServer) {
  // The full deadline: under a short one every failed request reads as the
  // deadline's, and a refused redirect would begin an outage.
  soap::SetInfoWarnDeadlineForTests(0);
  ConfigureTls(Url("good"), Trust("good"));
  // A redirect to cleartext is refused, even to a server that would take it.
  SetMode("redirect " + Url("http", "localhost", "http", std::string("/foreign") + kPath));
  EXPECT_EQ(report::ReportEvent("to cleartext", 2, FixedTime), -1);
  EXPECT_TRUE(HttpCalls().empty());
  // Within the https server a redirect is followed over the same session.
  SetMode("redirect " + Url("good", "localhost", "https", std::string("/foreign") + kPath));
  const auto calls = Calls().size();
  EXPECT_EQ(report::ReportEvent("moved", 2, FixedTime), 0);
  EXPECT_EQ(Calls().size(), calls + 2) << Log();
  EXPECT_EQ(Records().size(), 1u);
}

}  // namespace
}  // namespace torvane::test
