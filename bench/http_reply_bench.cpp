// Reading hostile reply heads: a megabyte of header lines whose names all
// collide in the header table's hash. The number of header lines is capped,
// so the reader gives up after the cap whatever the reply holds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "soap/http_reply.h"

namespace {

using torvane::soap::HttpReply;
using torvane::soap::ReadReply;
using torvane::soap::ReplySource;

class Bytes final : public ReplySource {
 public:
  explicit Bytes(const std::string& bytes) : bytes_(bytes) {}
  bool Receive(char* buffer, std::size_t capacity, std::size_t& received) override {
    received = std::min(capacity, bytes_.size() - offset_);
    std::memcpy(buffer, bytes_.data() + offset_, received);
    offset_ += received;
    return true;
  }

 private:
  const std::string& bytes_;
  std::size_t offset_ = 0;
};

// "B0" and "AQ" have the same hash (x33 plus the upper-cased byte), so every
// name built from them collides with every other of its length.
std::string CollidingName(unsigned n) {
  std::string name;
  for (int bit = 0; bit < 16; ++bit) name += (n >> bit) & 1 ? "B0" : "AQ";
  return name;
}

std::string Reply(bool colliding) {
  std::string reply = "HTTP/1.1 200 OK\r\n";
  for (unsigned i = 0; reply.size() < (1u << 20) - 64; ++i) {
    reply += (colliding ? CollidingName(i) : "X-Header-" + std::to_string(i)) + ": v\r\n";
  }
  return reply + "Content-Length: 0\r\n\r\n";
}

void HostileHeaders(benchmark::State& state) {
  const std::string reply = Reply(state.range(0) != 0);
  for (auto _ : state) {
    Bytes source(reply);
    HttpReply parsed;
    benchmark::DoNotOptimize(ReadReply(source, parsed));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(HostileHeaders)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
