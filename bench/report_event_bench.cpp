// Events per second through ReportEvent: delivered to the stand-in server on
// loopback (start it with tools/server/dedu_server.py and set
// TORVANE_SERVER_PORT, or run this program through run_with_server.py), and
// with the server down, where every event goes to the encrypted store.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "host_folder.h"
#include "report/reporter.h"

namespace {

using torvane::bench::HostFolder;

// "U盘插入 e:\ 序列号 0123456789" in GBK, a typical event line.
const std::string kEvent = "U\xc5\xcc\xb2\xe5\xc8\xeb e:\\ \xd0\xf2\xc1\xd0\xba\xc5 0123456789";

void BM_ReportDelivered(benchmark::State& state) {
  const char* port = std::getenv("TORVANE_SERVER_PORT");
  if (!port) {
    state.SkipWithError("TORVANE_SERVER_PORT not set: no stand-in server");
    return;
  }
  HostFolder host(std::string("http://127.0.0.1:") + port + "/WebDeduRazivor/services/DeduRazivor");
  std::int64_t failed = 0;
  for (auto _ : state) failed += torvane::report::ReportEvent(kEvent, 2) != 0;
  state.counters["events/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                  benchmark::Counter::kIsRate);
  state.counters["not_delivered"] = static_cast<double>(failed);
}
BENCHMARK(BM_ReportDelivered)->UseRealTime()->MinTime(3.0);

void BM_ReportServerDown(benchmark::State& state) {
  HostFolder host("http://127.0.0.1:1/WebDeduRazivor/services/DeduRazivor");
  for (auto _ : state) benchmark::DoNotOptimize(torvane::report::ReportEvent(kEvent, 2));
  state.counters["events/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                  benchmark::Counter::kIsRate);
  state.counters["store_bytes"] = static_cast<double>(host.StoreSize());
}
BENCHMARK(BM_ReportServerDown)->UseRealTime()->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
