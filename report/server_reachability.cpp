#include "report/server_reachability.h"

#include <algorithm>

namespace torvane::report {

ServerReachability::Ticket ServerReachability::Begin(std::string_view address, MonotonicTime now) {
  std::lock_guard guard(lock_);
  if (!down_ || address != address_) return {};
  if (probing_ || now < retry_at_) {
    ++skipped_;
    return {.send = false, .probe = false};
  }
  probing_ = true;
  return {.send = true, .probe = true};
}

ServerReachability::Result ServerReachability::End(const Ticket& ticket, std::string_view address,
                                                   Outcome outcome, MonotonicTime now) {
  std::lock_guard guard(lock_);
  Result result;
  if (!ticket.send) return result;
  if (ticket.probe) probing_ = false;
  switch (outcome) {
    case Outcome::kNotSent:
      // Nothing learnt; a probe that could not go out leaves the next report
      // to probe.
      break;
    case Outcome::kAnswered:
      if (down_) {
        result.change = Change::kAnswersAgain;
        result.skipped = skipped_;
        result.outage = std::chrono::duration_cast<std::chrono::seconds>(now - since_);
        down_ = false;
        address_.clear();
        skipped_ = 0;
      }
      break;
    case Outcome::kNoAnswer:
      if (down_ && address == address_) {
        // A report that set out before the outage was known adds nothing;
        // a failed probe lengthens the quiet.
        if (ticket.probe) {
          period_ = std::min(period_ * 2, std::chrono::seconds(kLongestQuietPeriod));
          retry_at_ = now + period_;
        }
        break;
      }
      address_.assign(address);
      down_ = true;
      since_ = now;
      period_ = kFirstQuietPeriod;
      retry_at_ = now + period_;
      probing_ = false;
      skipped_ = 0;
      result.change = Change::kUnreachable;
      result.period = period_;
      break;
  }
  return result;
}

void ServerReachability::Reset() {
  std::lock_guard guard(lock_);
  down_ = false;
  address_.clear();
  probing_ = false;
  skipped_ = 0;
  period_ = std::chrono::seconds(0);
}

ServerReachability& ProcessServerReachability() {
  // Lives as long as the process: reporting threads may run until exit.
  static ServerReachability& state = *new ServerReachability;
  return state;
}

MonotonicTime MonotonicNow() { return std::chrono::steady_clock::now(); }

}  // namespace torvane::report
