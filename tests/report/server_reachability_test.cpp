// The outage bookkeeping on its own, driven by a made-up clock.
#include <gtest/gtest.h>

#include <chrono>

#include "report/server_reachability.h"

namespace torvane::report {
namespace {

using namespace std::chrono_literals;
using Outcome = ServerReachability::Outcome;
using Change = ServerReachability::Change;

constexpr char kA[] = "http://a/x";
constexpr char kB[] = "http://b/x";

MonotonicTime At(std::chrono::seconds s) { return MonotonicTime(s); }

class Reachability : public ::testing::Test {
 protected:
  // One report at `t` that gets `outcome` if it is sent; returns whether it
  // was sent and leaves the change in `last_`.
  bool ReportAt(std::chrono::seconds t, Outcome outcome, const char* address = kA) {
    const auto ticket = state_.Begin(address, At(t));
    last_ = state_.End(ticket, address, outcome, At(t));
    return ticket.send;
  }

  ServerReachability state_;
  ServerReachability::Result last_;
};

TEST_F(Reachability, NoAnswerStartsAQuietPeriodThatGrowsWhileTheServerStaysAway) {
  EXPECT_TRUE(ReportAt(0s, Outcome::kNoAnswer));
  EXPECT_EQ(last_.change, Change::kUnreachable);
  EXPECT_EQ(last_.period, 30s);
  std::chrono::seconds t = 0s;
  for (const auto period : {30s, 60s, 120s, 240s, 300s, 300s}) {
    SCOPED_TRACE(period.count());
    EXPECT_FALSE(ReportAt(t + period - 1s, Outcome::kNoAnswer));
    t += period;
    EXPECT_TRUE(ReportAt(t, Outcome::kNoAnswer)) << "the first report after the period probes";
    EXPECT_EQ(last_.change, Change::kNone) << "still the same outage";
  }
}

TEST_F(Reachability, AnyAnswerEndsTheOutageAndCountsWhatWasSkipped) {
  ReportAt(10s, Outcome::kNoAnswer);
  EXPECT_FALSE(ReportAt(11s, Outcome::kAnswered));
  EXPECT_FALSE(ReportAt(12s, Outcome::kAnswered));
  EXPECT_TRUE(ReportAt(40s, Outcome::kAnswered));
  EXPECT_EQ(last_.change, Change::kAnswersAgain);
  EXPECT_EQ(last_.skipped, 2u);
  EXPECT_EQ(last_.outage, 30s);
  EXPECT_TRUE(ReportAt(41s, Outcome::kNoAnswer)) << "reachable: sent at once";
  EXPECT_EQ(last_.change, Change::kUnreachable) << "a new outage, a fresh period";
  EXPECT_EQ(last_.period, 30s);
}

TEST_F(Reachability, AnswersNeverStartAnOutage) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(ReportAt(1s, Outcome::kAnswered));
    EXPECT_EQ(last_.change, Change::kNone);
    EXPECT_TRUE(ReportAt(1s, Outcome::kNotSent));
  }
}

TEST_F(Reachability, OnlyOneProbeAtATime) {
  ReportAt(0s, Outcome::kNoAnswer);
  const auto probe = state_.Begin(kA, At(30s));
  ASSERT_TRUE(probe.send && probe.probe);
  const auto other = state_.Begin(kA, At(35s));
  EXPECT_FALSE(other.send) << "others keep storing while the probe waits";
  EXPECT_EQ(state_.End(other, kA, Outcome::kNoAnswer, At(35s)).change, Change::kNone);
  EXPECT_EQ(state_.End(probe, kA, Outcome::kNoAnswer, At(40s)).change, Change::kNone);
  EXPECT_FALSE(ReportAt(99s, Outcome::kAnswered)) << "the next period runs from the probe's end";
  EXPECT_TRUE(ReportAt(100s, Outcome::kAnswered));
}

TEST_F(Reachability, AProbeThatCouldNotGoOutLeavesTheNextReportToProbe) {
  ReportAt(0s, Outcome::kNoAnswer);
  EXPECT_TRUE(ReportAt(30s, Outcome::kNotSent));
  EXPECT_TRUE(ReportAt(31s, Outcome::kNoAnswer));
  EXPECT_FALSE(ReportAt(90s, Outcome::kNoAnswer)) << "that probe failed: 60 s now";
}

TEST_F(Reachability, ReportsUnderwayWhenTheOutageBeganAddNothing) {
  const auto first = state_.Begin(kA, At(0s));
  const auto second = state_.Begin(kA, At(0s));
  EXPECT_EQ(state_.End(first, kA, Outcome::kNoAnswer, At(10s)).change, Change::kUnreachable);
  EXPECT_EQ(state_.End(second, kA, Outcome::kNoAnswer, At(12s)).change, Change::kNone);
  EXPECT_TRUE(ReportAt(40s, Outcome::kNoAnswer)) << "the period was not stretched";
}

TEST_F(Reachability, AnotherAddressIsTriedAtOnce) {
  ReportAt(0s, Outcome::kNoAnswer, kA);
  EXPECT_TRUE(ReportAt(1s, Outcome::kNoAnswer, kB));
  EXPECT_EQ(last_.change, Change::kUnreachable) << "the outage now concerns the new address";
  EXPECT_TRUE(ReportAt(2s, Outcome::kAnswered, kA));
  EXPECT_EQ(last_.change, Change::kAnswersAgain);
  EXPECT_TRUE(ReportAt(3s, Outcome::kAnswered, kB));
}

TEST_F(Reachability, ResetForgetsTheOutage) {
  ReportAt(0s, Outcome::kNoAnswer);
  state_.Reset();
  EXPECT_TRUE(ReportAt(1s, Outcome::kAnswered));
  EXPECT_EQ(last_.change, Change::kNone);
}

}  // namespace
}  // namespace torvane::report
