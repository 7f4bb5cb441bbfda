// A burst of file creates on an audited drive while the management server
// does not answer: the production path from the watcher through the audit
// sink and the event reporter into the encrypted store. Counts the events
// reported and stored, the events lost (and whether a loss was reported),
// and the time from the first create to the last event stored.
//
// The server's address drops connection attempts: on Linux a listener whose
// backlog is full (nothing accepts) lets SYNs go unanswered, so a connect
// waits out its time limit as it would for an address away from the network.
// Elsewhere a refused port stands in.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "filewatch/audit_reporter.h"
#include "filewatch/drive_audit.h"
#include "filewatch/texts.h"
#include "host_folder.h"
#include "platform/drive_map.h"
#include "report/reporter.h"
#include "report/warning_store.h"

#ifdef __linux__
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using torvane::bench::HostFolder;

// An address that takes connections into a full backlog and never answers.
class SilentAddress {
 public:
  SilentAddress() {
#ifdef __linux__
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(listener_, 0) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
      return;
    }
    port_ = ntohs(a.sin_port);
    for (int i = 0; i < 4; ++i) {
      const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      (void)::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
      fillers_.push_back(s);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
#endif
  }
  ~SilentAddress() {
#ifdef __linux__
    for (const int s : fillers_) ::close(s);
    if (listener_ >= 0) ::close(listener_);
#endif
  }
  std::string Url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/WebDeduRazivor/services/DeduRazivor";
  }

 private:
  int listener_ = -1;
  int port_ = 1;
  std::vector<int> fillers_;
};

void BM_AuditBurstServerAway(benchmark::State& state) {
  const long files = state.range(0);
  for (auto _ : state) {
    SilentAddress server;
    HostFolder host(server.Url());
    const fs::path tree = fs::temp_directory_path() /
                          ("torvane-burst-" + std::to_string(Clock::now().time_since_epoch().count()));
    fs::create_directories(tree);
    torvane::platform::SetDriveRoot('b', tree.string());

    std::atomic<long> reported{0};
    std::atomic<long> loss_notices{0};
    std::atomic<Clock::rep> last_ns{0};
    const std::string loss_prefix = torvane::filewatch::text::kEventsLost;
    const auto previous = torvane::filewatch::SetAuditReporter(
        [&](std::string_view text, std::int32_t type) {
          torvane::report::ReportEvent(text, type);
          if (text.substr(0, loss_prefix.size()) == loss_prefix) ++loss_notices;
          ++reported;
          last_ns = Clock::now().time_since_epoch().count();
        });
    torvane::filewatch::StartDriveAudit('b');

    const auto start = Clock::now();
    for (long i = 0; i < files; ++i) std::ofstream(tree / ("f" + std::to_string(i)));
    const double create_s = std::chrono::duration<double>(Clock::now() - start).count();
    // Until every create is reported, or nothing moves for a minute.
    long last = -1;
    auto still_since = Clock::now();
    while (reported.load() - loss_notices.load() < files) {
      const long now = reported.load();
      if (now != last) {
        last = now;
        still_since = Clock::now();
      } else if (Clock::now() - still_since > std::chrono::seconds(60)) {
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const double total_s =
        std::chrono::duration<double>(Clock::duration(last_ns.load()) - start.time_since_epoch()).count();
    torvane::filewatch::StopAllAudits();
    torvane::filewatch::SetAuditReporter(previous);
    torvane::platform::SetDriveRoot('b', "");
    std::error_code ec;
    fs::remove_all(tree, ec);

    const auto stored = torvane::report::SplitWarningRecords(
        torvane::report::ReadWarningStore(host.Store())).size();
    state.SetIterationTime(total_s);
    state.counters["files"] = static_cast<double>(files);
    state.counters["events_reported"] = static_cast<double>(reported.load() - loss_notices.load());
    state.counters["events_stored"] = static_cast<double>(stored);
    state.counters["events_lost"] =
        static_cast<double>(files - (reported.load() - loss_notices.load()));
    state.counters["loss_reports"] = static_cast<double>(loss_notices.load());
    state.counters["create_s"] = create_s;
    state.counters["stored_per_s"] = static_cast<double>(stored) / total_s;
  }
}
BENCHMARK(BM_AuditBurstServerAway)->Arg(10000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
