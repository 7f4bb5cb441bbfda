#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <utility>
#include <string>
#include <thread>

#include "platform/name_resolver.h"
#include "report/delivery_note.h"
#include "report/reporter.h"
#include "report/warning_store.h"
#include "soap/info_warn_client.h"
#include "server_fixture.h"

namespace torvane::test {
namespace {

// "插入U盘 "A&B" a|b" in GBK, and the same text in UTF-8.
constexpr char kGbkText[] = "\xb2\xe5\xc8\xeb" "U" "\xc5\xcc" " \"A&B\" a|b";
constexpr char kUtf8Text[] = "插入U盘 \"A&B\" a|b";

platform::LocalTime FixedTime() { return {2026, 1, 2, 3, 4, 5}; }

class ReporterServer : public ServerTest {
 protected:
  // Reports as ReportEvent(text, 2, FixedTime) does; the result, and the
  // reason the support tools give when the server did not take the event.
  struct Noted {
    std::int32_t result;
    std::string reason;
    report::DeliveryNote::Store store;
  };
  static Noted Report(const std::string& text) {
    report::DeliveryNote note;
    const std::int32_t result = report::ReportEvent(text, 2, FixedTime, report::MonotonicNow, &note);
    return {result, report::UndeliveredReason(note), note.store};
  }
};

// The reason begins with `said`.
#define EXPECT_REASON(noted, said) EXPECT_EQ((noted).reason.substr(0, std::string(said).size()), said) << (noted).reason

TEST_F(ReporterServer, DeliveredEventIsNotStored) {
  Configure("T1", ServiceUrl());
  const auto before = Calls().size();
  EXPECT_EQ(report::ReportEvent(kGbkText, 2, FixedTime), 0);
  EXPECT_FALSE(std::filesystem::exists(Store()));
  const auto calls = Calls();
  ASSERT_EQ(calls.size(), before + 1);
  const std::string& call = calls.back();
  EXPECT_NE(call.find("\"operation\":\"infoWarn\""), std::string::npos) << call;
  EXPECT_NE(call.find(JsonField("guid", "T1")), std::string::npos) << call;
  EXPECT_NE(call.find(JsonField("when", "2026-01-02 03:04:05")), std::string::npos) << call;
  EXPECT_NE(call.find(JsonField("memos", kUtf8Text)), std::string::npos) << call;
  EXPECT_NE(call.find(JsonField("logType", "2")), std::string::npos) << call;
  EXPECT_NE(call.find("\"ascii_body\":true"), std::string::npos) << call;
  EXPECT_NE(call.find(JsonField("SOAPAction", "\"\"")), std::string::npos) << call;
  EXPECT_NE(call.find(JsonField("Accept", "text/xml")), std::string::npos) << call;
  EXPECT_NE(call.find(JsonField("Host", "127.0.0.1")), std::string::npos) << "no port in Host";
  EXPECT_NE(call.find(JsonField("Content-Type", "text/xml; charset=utf-8")), std::string::npos);
  EXPECT_NE(call.find(JsonField("User-Agent", "Microsoft-ATL-Native/7.00")), std::string::npos);
  EXPECT_NE(call.find("&#x63D2;&#x5165;U&#x76D8; \\\"A&amp;B\\\" a|b"), std::string::npos)
      << "the wire form of the text";
}

TEST_F(ReporterServer, ExactRecordForAKnownUidTimeAndText) {
  Configure("T1", ServiceUrl());
  SetMode("answer 5");
  EXPECT_EQ(report::ReportEvent("X", 2, FixedTime), -1);
  EXPECT_EQ(Records(), std::vector<std::string>{"T1|2026-01-02 03:04:05|X|2|"});
  EXPECT_EQ(report::ReadWarningStore(Store()), "T1|2026-01-02 03:04:05|X|2|,");
}

// Each refusal stores one record, and the support tools say which refusal
// it was.
TEST_F(ReporterServer, EveryRefusalStoresExactlyOneRecord) {
  Configure("T1", ServiceUrl());
  const std::string record = std::string("T1|2026-01-02 03:04:05|") + kGbkText + "|2|";
  std::vector<std::string> expected;
  // "close" gets no answer and starts a quiet period, so it comes last.
  const std::pair<const char*, std::string> modes[] = {
      {"answer 5", "the server answered 5"},
      {"answer -1", "the server answered -1"},
      {"answer 4294967296", "the server answered 4294967296"},
      {"fault", "SOAP fault: event refused (faultcode soapenv:Server)"},
      {"status 404", "HTTP status 404"},
      {"answer 12x", "the reply (HTTP status 200) holds no readable infoWarn answer"},
      {"close", "no answer from 127.0.0.1:" + port_ + ": the connection closed, or nothing came for 10 s"},
  };
  for (const auto& [mode, said] : modes) {
    SCOPED_TRACE(mode);
    SetMode(mode);
    const Noted noted = Report(kGbkText);
    EXPECT_EQ(noted.result, -1);
    EXPECT_REASON(noted, said);
    EXPECT_EQ(noted.store, report::DeliveryNote::Store::kStored);
    expected.push_back(record);
    EXPECT_EQ(Records(), expected);
  }
  // In the quiet period that follows, events are stored without sending.
  SetMode("answer 0");
  EXPECT_REASON(Report(kGbkText), "not sent: the server gave no answer to a report moments ago");
}

// A redirect to another server: the event is stored, not delivered there
// (the stand-in's foreign path would take it). The same server under
// another name plays the other one.
TEST_F(ReporterServer, RedirectToAnotherServerIsStored) {
  Configure("T1", ServiceUrl());
  SetMode("redirect http://localhost:" + port_ + "/foreign/WebDeduRazivor/services/DeduRazivor");
  const auto before = Calls().size();
  const Noted noted = Report("moved");
  EXPECT_EQ(noted.result, -1);
  EXPECT_REASON(noted, "HTTP status 302: a redirect not followed");
  EXPECT_EQ(Records(), std::vector<std::string>{"T1|2026-01-02 03:04:05|moved|2|"});
  const auto calls = Calls();
  ASSERT_EQ(calls.size(), before + 1) << "only the request to the configured server";
  EXPECT_EQ(calls.back().find("/foreign"), std::string::npos);
  // Within the configured server a redirect is still followed.
  SetMode("redirect " + ServiceUrl() + "?again");
  EXPECT_EQ(report::ReportEvent("moved", 2, FixedTime), -1);  // it redirects every time
  EXPECT_GT(Calls().size(), before + 2);
}

TEST_F(ReporterServer, ServerDownIsStored) {
  Configure("T1", "http://127.0.0.1:1/WebDeduRazivor/services/DeduRazivor");
  const Noted noted = Report("down");
  EXPECT_EQ(noted.result, -1);
  EXPECT_REASON(noted, "no connection to 127.0.0.1:1 (refused");
  EXPECT_EQ(Records(), std::vector<std::string>{"T1|2026-01-02 03:04:05|down|2|"});
}

TEST_F(ReporterServer, UnusableWebAddressIsStoredWithoutAConnection) {
  const auto before = Calls().size();
  const std::string https = "https://127.0.0.1:" + port_ + "/WebDeduRazivor/services/DeduRazivor";
  const std::pair<std::string, std::string> addresses[] = {
      {std::string(), "no server address: WebAddress is empty or missing"},
      // A plain-http server behind an https address: the handshake fails, nothing is sent in clear.
      {https, "the TLS check refused 127.0.0.1:" + port_ + ": handshake failed"},
      {"127.0.0.1:" + port_, "the server address is not a URL: WebAddress=127.0.0.1:" + port_},
      {"http://", "the server address is not an http or https URL with a host: WebAddress=http://"},
  };
  for (const auto& [address, said] : addresses) {
    SCOPED_TRACE(address);
    Configure("", address);
    const Noted noted = Report("e");
    EXPECT_EQ(noted.result, -1);
    EXPECT_REASON(noted, said);
  }
  EXPECT_EQ(Calls().size(), before) << "nothing reached the server";
  EXPECT_EQ(Records(), std::vector<std::string>(4, "|2026-01-02 03:04:05|e|2|"));
}

// A store that cannot take the record: the event is lost, and the note says
// so rather than that it was stored.
TEST_F(ReporterServer, ARecordTheStoreRefusesIsNotedAsDropped) {
  Configure("T1", ServiceUrl());
  SetMode("answer 1");
  std::filesystem::create_directory(Store());
  const Noted noted = Report("lost");
  EXPECT_EQ(noted.result, -1);
  EXPECT_REASON(noted, "the server answered 1");
  EXPECT_EQ(noted.store, report::DeliveryNote::Store::kDropped);
}

TEST_F(ReporterServer, MissingFilesStoreWithAnEmptyIdentifier) {
  EXPECT_EQ(report::ReportEvent("none", 2, FixedTime), -1);
  EXPECT_EQ(Records(), std::vector<std::string>{"|2026-01-02 03:04:05|none|2|"});
}

TEST_F(ReporterServer, RealClockStampsTheRecord) {
  Configure("T2", "");
  EXPECT_EQ(report::ReportEvent("now", 2), -1);
  const auto records = Records();
  ASSERT_EQ(records.size(), 1u);
  ASSERT_EQ(records[0].size(), std::string("T2|2026-01-02 03:04:05|now|2|").size());
  EXPECT_EQ(records[0].substr(0, 3), "T2|");
  EXPECT_EQ(records[0].substr(22), "|now|2|");
}

// A server that trickles a byte at a time never lets a wait time out: the
// exchange's deadline (shortened here) ends it, and the event is stored.
TEST_F(ReporterServer, TricklingServerIsCutOffAndTheEventStored) {
  Configure("T1", ServiceUrl());
  SetMode("trickle 0.2");
  soap::SetInfoWarnDeadlineForTests(2000);
  const auto start = std::chrono::steady_clock::now();
  const Noted noted = Report("trickled");
  const auto waited = std::chrono::steady_clock::now() - start;
  soap::SetInfoWarnDeadlineForTests(0);
  EXPECT_EQ(noted.result, -1);
  EXPECT_REASON(noted, "no answer from 127.0.0.1:" + port_ + " within the exchange's limit");
  EXPECT_GE(waited, std::chrono::milliseconds(1900));
  // The trickle never ends by itself, so any bound shows the deadline at
  // work; this one leaves room for the store's syncs on a busy disk.
  EXPECT_LT(waited, std::chrono::seconds(30));
  EXPECT_EQ(Records(), std::vector<std::string>{"T1|2026-01-02 03:04:05|trickled|2|"});
}

// A name server that never answers holds the exchange no longer than its
// deadline either; the event is stored.
bool NeverAnswers(const std::string&, std::uint16_t, platform::ResolvedAddress&) {
  std::this_thread::sleep_for(std::chrono::seconds(20));
  return false;
}

TEST_F(ReporterServer, UnansweredNameIsCutOffAndTheEventStored) {
  Configure("T1", ServiceUrl("unanswered.test"));
  platform::SetHostLookupForTests(&NeverAnswers);
  soap::SetInfoWarnDeadlineForTests(1500);
  const auto start = std::chrono::steady_clock::now();
  const auto result = report::ReportEvent("unresolved", 2, FixedTime);
  const auto waited = std::chrono::steady_clock::now() - start;
  soap::SetInfoWarnDeadlineForTests(0);
  platform::SetHostLookupForTests(nullptr);
  EXPECT_EQ(result, -1);
  EXPECT_GE(waited, std::chrono::milliseconds(1400));
  EXPECT_LT(waited, std::chrono::seconds(15));  // before the lookup itself gives up
  EXPECT_EQ(Records(), std::vector<std::string>{"T1|2026-01-02 03:04:05|unresolved|2|"});
}

// A server that accepts and never answers: the receive wait times out.
TEST_F(ReporterServer, StalledServerIsStored) {
  Configure("T1", ServiceUrl());
  SetMode("stall 15");
  const Noted noted = Report("slow");
  EXPECT_EQ(noted.result, -1);
  EXPECT_REASON(noted, "no answer from 127.0.0.1:" + port_ + ": the connection closed, or nothing came for 10 s");
  EXPECT_EQ(Records(), std::vector<std::string>{"T1|2026-01-02 03:04:05|slow|2|"});
}

}  // namespace
}  // namespace torvane::test
