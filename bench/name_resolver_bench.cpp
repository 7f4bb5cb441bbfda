// What the bounded wait costs a resolution: the system lookup called
// directly, the same name through a helper thread, and a numeric address
// (converted on the caller's thread).
#include <benchmark/benchmark.h>

#include "platform/name_resolver.h"

namespace torvane::platform {
namespace {

void BM_SystemLookupOfLocalhost(benchmark::State& state) {
  ResolvedAddress address;
  for (auto _ : state) benchmark::DoNotOptimize(SystemHostLookup("localhost", 80, false, address));
}
BENCHMARK(BM_SystemLookupOfLocalhost);

void BM_BoundedLookupOfLocalhost(benchmark::State& state) {
  ResolvedAddress address;
  for (auto _ : state) {
    if (ResolveHost("localhost", 80, 10000, address) != ResolveResult::kResolved) state.SkipWithError("not resolved");
  }
}
BENCHMARK(BM_BoundedLookupOfLocalhost);

void BM_NumericAddress(benchmark::State& state) {
  ResolvedAddress address;
  for (auto _ : state) {
    if (ResolveHost("127.0.0.1", 80, 10000, address) != ResolveResult::kResolved) state.SkipWithError("not resolved");
  }
}
BENCHMARK(BM_NumericAddress);

}  // namespace
}  // namespace torvane::platform

BENCHMARK_MAIN();
