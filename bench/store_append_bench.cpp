// Cost of one append of a 200-byte record to warning stores of growing size:
// the tail-only append against re-encrypting the whole store. Reports time
// per append and bytes written per append (the process's write() byte count,
// Linux only; 0 elsewhere).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "config/host_directory.h"
#include "platform/file.h"
#include "report/store_cipher.h"
#include "report/warning_store.h"

namespace {

namespace fs = std::filesystem;
using torvane::report::StoreCipher;

std::uint64_t BytesWritten() {
  std::ifstream io("/proc/self/io");
  std::string key;
  std::uint64_t value = 0;
  while (io >> key >> value)
    if (key == "wchar:") return value;
  return 0;
}

// A folder holding a valid store of exactly `size` bytes.
class StoreFixture {
 public:
  explicit StoreFixture(std::uint64_t size) {
    dir_ = fs::temp_directory_path() / ("torvane-bench-" + std::to_string(size));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "state");
    ::setenv("TORVANE_STATE_DIR", (dir_ / "state").string().c_str(), 1);
    torvane::config::SetHostDirectoryOverride(dir_.string() + "/");
    path_ = (dir_ / "info2.sys").string();
    std::string plain;
    const std::string record = "WS-7|2026-01-02 03:04:05|bench record|2|,";
    while (plain.size() + record.size() < size - 1) plain += record;
    plain.append(size - 1 - plain.size(), ',');
    std::string cipher;
    StoreCipher().Encrypt(plain, cipher);
    std::ofstream(path_, std::ios::binary).write(cipher.data(), static_cast<std::streamsize>(cipher.size()));
    size_ = cipher.size();
    tail_ = cipher.substr(cipher.size() - 32);
  }
  ~StoreFixture() {
    torvane::config::SetHostDirectoryOverride(std::nullopt);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  const std::string& path() const { return path_; }
  std::uint64_t size() const { return size_; }
  // Puts the store back to its starting bytes.
  void Reset() {
    auto file = torvane::platform::File::Open(path_, torvane::platform::File::Mode::kReadWriteAlways);
    file->WriteAt(size_ - tail_.size(), tail_);
    file->Truncate(size_);
  }

 private:
  fs::path dir_;
  std::string path_;
  std::uint64_t size_ = 0;
  std::string tail_;
};

const std::string kRecord(200, 'r');

void BM_TailAppend(benchmark::State& state) {
  StoreFixture store(static_cast<std::uint64_t>(state.range(0)));
  std::uint64_t written = 0;
  for (auto _ : state) {
    const std::uint64_t before = BytesWritten();
    if (torvane::report::AppendWarningRecord(store.path(), kRecord) != 0) {
      state.SkipWithError("append failed");
      break;
    }
    state.PauseTiming();
    written += BytesWritten() - before;
    store.Reset();
    state.ResumeTiming();
  }
  state.counters["store_bytes"] = static_cast<double>(store.size());
  state.counters["bytes_written"] =
      benchmark::Counter(static_cast<double>(written), benchmark::Counter::kAvgIterations);
}

// The whole-store way, for comparison: read, decrypt, append, encrypt all,
// write all (no lock, journal or registry).
void BM_WholeReencrypt(benchmark::State& state) {
  StoreFixture store(static_cast<std::uint64_t>(state.range(0)));
  std::uint64_t written = 0;
  for (auto _ : state) {
    const std::uint64_t before = BytesWritten();
    std::string plain = torvane::report::ReadWarningStore(store.path());
    plain += kRecord;
    plain += ',';
    std::string cipher;
    StoreCipher().Encrypt(plain, cipher);
    auto file = torvane::platform::File::Open(store.path(), torvane::platform::File::Mode::kReadWriteAlways);
    file->WriteAt(0, cipher);
    file->Truncate(cipher.size());
    file.reset();
    state.PauseTiming();
    written += BytesWritten() - before;
    store.Reset();
    state.ResumeTiming();
  }
  state.counters["store_bytes"] = static_cast<double>(store.size());
  state.counters["bytes_written"] =
      benchmark::Counter(static_cast<double>(written), benchmark::Counter::kAvgIterations);
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (const std::int64_t size : {1LL << 10, 1LL << 20, 16LL << 20, 63LL << 20}) b->Arg(size);
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_TailAppend)->Apply(Sizes);
BENCHMARK(BM_WholeReencrypt)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
