// The reporter while the server does not answer: only the first report of a
// quiet period goes to the network, the rest go straight to the store, in
// order; an answer of any kind ends the outage. The quiet periods run on a
// test clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "report/reporter.h"
#include "report/warning_store.h"
#include "server_fixture.h"

namespace torvane::test {
namespace {

using namespace std::chrono_literals;

platform::LocalTime FixedTime() { return {2026, 1, 2, 3, 4, 5}; }

std::atomic<std::int64_t> g_test_seconds{0};
report::MonotonicTime TestNow() {
  return report::MonotonicTime(std::chrono::seconds(g_test_seconds.load()));
}

class ReporterOutage : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    g_test_seconds = 1000;
    Configure("T1", ServiceUrl());
  }

  static void Advance(std::chrono::seconds by) { g_test_seconds += by.count(); }
  static std::int32_t Report(const std::string& text) {
    return report::ReportEvent(text, 2, FixedTime, TestNow);
  }
  static std::string Record(const std::string& text) {
    return "T1|2026-01-02 03:04:05|" + text + "|2|";
  }
  // The server stops answering: it reads each request and closes at once.
  void BeginOutage(const std::string& first_event) {
    SetMode("close");
    const auto before = Calls().size();
    EXPECT_EQ(Report(first_event), -1);
    ASSERT_EQ(Calls().size(), before + 1) << "the first report tries the server";
  }

  static constexpr char kDown[] = "Error:Server not answering";
  static constexpr char kBack[] = "Error:Server answering again";
};

TEST_F(ReporterOutage, EventsOfAnOutageAreStoredInOrderWithoutTheNetwork) {
  BeginOutage("e0");
  const auto calls = Calls().size();
  std::vector<std::string> expected{Record("e0")};
  for (int i = 1; i <= 20; ++i) {
    Advance(1s);
    const std::string text = "e" + std::to_string(i);
    EXPECT_EQ(Report(text), -1);
    expected.push_back(Record(text));
  }
  EXPECT_EQ(Calls().size(), calls) << "nothing reached the server in the quiet period";
  EXPECT_EQ(Records(), expected);
  EXPECT_EQ(LogCount(kDown), 1u);
  EXPECT_EQ(LogCount(kBack), 0u);
  EXPECT_EQ(LogCount(std::string(kDown) + " (127.0.0.1:" + port_ +
                     "), events are stored without sending; next try in 30 s\r\n"),
            1u)
      << Log();
}

TEST_F(ReporterOutage, TheServerBackAfterThePeriodGetsTheNextEvent) {
  BeginOutage("lost");
  SetMode("answer 0");
  Advance(29s);
  EXPECT_EQ(Report("still quiet"), -1);
  const auto calls = Calls().size();
  Advance(1s);
  EXPECT_EQ(Report("back"), 0);
  ASSERT_EQ(Calls().size(), calls + 1);
  EXPECT_NE(Calls().back().find(JsonField("memos", "back")), std::string::npos);
  EXPECT_EQ(Report("and on"), 0);
  EXPECT_EQ(Calls().size(), calls + 2);
  EXPECT_EQ(Records(), (std::vector<std::string>{Record("lost"), Record("still quiet")}));
  EXPECT_EQ(LogCount(kBack), 1u);
  EXPECT_NE(Log().find("after 30 s; events stored without sending: 1\r\n"), std::string::npos)
      << Log();
}

TEST_F(ReporterOutage, EachFailedProbeDoublesTheQuietUpToFiveMinutes) {
  BeginOutage("e");
  // Probes fall due after 30, 60, 120, 240, 300 and 300 s.
  for (const int period : {30, 60, 120, 240, 300, 300}) {
    SCOPED_TRACE(period);
    Advance(std::chrono::seconds(period - 1));
    auto calls = Calls().size();
    EXPECT_EQ(Report("quiet"), -1);
    EXPECT_EQ(Calls().size(), calls);
    Advance(1s);
    EXPECT_EQ(Report("probe"), -1);
    EXPECT_EQ(Calls().size(), calls + 1);
  }
  EXPECT_EQ(LogCount(kDown), 1u) << "one line for the whole outage";
}

TEST_F(ReporterOutage, RefusalsAndFaultsDoNotStartTheQuiet) {
  for (const char* mode : {"answer 5", "fault", "status 503", "answer 0"}) {
    SCOPED_TRACE(mode);
    SetMode(mode);
    for (int i = 0; i < 2; ++i) {
      const auto calls = Calls().size();
      Report(mode);
      EXPECT_EQ(Calls().size(), calls + 1) << "every report goes to a server that answers";
    }
  }
  EXPECT_EQ(Records().size(), 6u);
  EXPECT_EQ(LogCount("Error:Server"), 0u);
}

TEST_F(ReporterOutage, AChangedAddressIsTriedAtOnce) {
  BeginOutage("old");
  SetMode("answer 0");
  Configure("T1", "http://localhost:" + port_ + "/WebDeduRazivor/services/DeduRazivor");
  const auto calls = Calls().size();
  EXPECT_EQ(Report("new address"), 0);
  EXPECT_EQ(Calls().size(), calls + 1);
  EXPECT_EQ(LogCount(kBack), 1u);
  // Back to the old address: the outage is over, it is tried too.
  Configure("T1", ServiceUrl());
  EXPECT_EQ(Report("old address"), 0);
  EXPECT_EQ(Calls().size(), calls + 2);
}

TEST_F(ReporterOutage, TwoThreadsDuringAnOutageStoreEverythingInTheirOwnOrder) {
  BeginOutage("first");
  const auto calls = Calls().size();
  constexpr int kEach = 15;
  auto run = [](char who) {
    for (int i = 0; i < kEach; ++i) EXPECT_EQ(Report(std::string(1, who) + std::to_string(i)), -1);
  };
  std::thread a(run, 'a');
  std::thread b(run, 'b');
  a.join();
  b.join();
  EXPECT_EQ(Calls().size(), calls);
  const auto records = Records();
  ASSERT_EQ(records.size(), 1u + 2 * kEach);
  int next_a = 0;
  int next_b = 0;
  for (std::size_t i = 1; i < records.size(); ++i) {
    const std::string& r = records[i];
    const char who = r[std::string("T1|2026-01-02 03:04:05|").size()];
    int& next = who == 'a' ? next_a : next_b;
    EXPECT_EQ(r, Record(std::string(1, who) + std::to_string(next))) << "out of order";
    ++next;
  }
  EXPECT_EQ(next_a, kEach);
  EXPECT_EQ(next_b, kEach);
  EXPECT_EQ(LogCount(kDown), 1u);
}

TEST_F(ReporterOutage, TheLogLinesComeOncePerOutage) {
  for (int outage = 1; outage <= 2; ++outage) {
    BeginOutage("down");
    for (int i = 0; i < 5; ++i) Report("quiet");
    Advance(30s);
    Report("failed probe");
    Advance(60s);
    SetMode("answer 0");
    EXPECT_EQ(Report("up"), 0);
    EXPECT_EQ(Report("up"), 0);
    EXPECT_EQ(LogCount(kDown), static_cast<std::size_t>(outage));
    EXPECT_EQ(LogCount(kBack), static_cast<std::size_t>(outage));
  }
}

// A server that accepts the connection and never answers costs the first
// report its time-out; the next one is stored without touching the network.
TEST_F(ReporterOutage, AStalledServerIsWaitedForOnce) {
  SetMode("stall 15");
  const auto calls = Calls().size();
  EXPECT_EQ(Report("slow"), -1);
  EXPECT_EQ(Calls().size(), calls + 1);
  EXPECT_EQ(Report("quick"), -1);
  EXPECT_EQ(Calls().size(), calls + 1);
  EXPECT_EQ(Records(), (std::vector<std::string>{Record("slow"), Record("quick")}));
  EXPECT_EQ(LogCount(kDown), 1u);
}

}  // namespace
}  // namespace torvane::test
