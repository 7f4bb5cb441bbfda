#pragma once
// Whether the management server is worth waiting for. Once an exchange gets
// no answer at all (refused or timed-out connection, silence, the exchange's
// deadline), the server is taken as unreachable for a quiet period: reports
// made in it skip the network and go straight to the store. The first report
// after the period probes the server again; while the probe runs, other
// reports keep skipping. Each probe without an answer doubles the period, up
// to a ceiling; any answer (even a refusal or a fault) ends the outage. A
// different server address is always tried at once.
//
// One instance serves the whole process (ProcessServerReachability), shared
// by every reporting thread; the class itself does no I/O and takes the time
// from its caller, so it can be driven by a test clock.
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace torvane::report {

using MonotonicTime = std::chrono::steady_clock::time_point;
using MonotonicClock = MonotonicTime (*)();

// The first quiet period after the server stops answering, and the longest
// it grows to while the server stays away.
inline constexpr std::chrono::seconds kFirstQuietPeriod{30};
inline constexpr std::chrono::seconds kLongestQuietPeriod{300};

class ServerReachability {
 public:
  // What one report may do: send (and whether it is the probe that decides
  // an outage), or store at once.
  struct Ticket {
    bool send = true;
    bool probe = false;
  };

  // How a sent report went, as the reporter learnt it from the exchange.
  enum class Outcome { kNotSent, kNoAnswer, kAnswered };

  // A change of state worth one operation-log line.
  enum class Change { kNone, kUnreachable, kAnswersAgain };

  struct Result {
    Change change = Change::kNone;
    std::chrono::seconds period{0};   // kUnreachable: the quiet period begun
    std::uint64_t skipped = 0;        // kAnswersAgain: reports stored unsent
    std::chrono::seconds outage{0};   // kAnswersAgain: since the outage began
  };

  // Called before a report to `address`.
  Ticket Begin(std::string_view address, MonotonicTime now);
  // Called after a report that was sent with `ticket`.
  Result End(const Ticket& ticket, std::string_view address, Outcome outcome, MonotonicTime now);

  // Forgets any outage (tests, and a host that wants to try at once).
  void Reset();

 private:
  std::mutex lock_;
  bool down_ = false;             // an outage of address_ is in progress
  std::string address_;           // the address the outage concerns
  MonotonicTime since_{};         // when the outage began
  MonotonicTime retry_at_{};      // end of the current quiet period
  std::chrono::seconds period_{0};
  bool probing_ = false;          // a probe is on the network now
  std::uint64_t skipped_ = 0;     // reports stored unsent in this outage
};

// The process's one instance.
ServerReachability& ProcessServerReachability();

// The monotonic clock the reporter uses unless a test gives its own.
MonotonicTime MonotonicNow();

}  // namespace torvane::report
