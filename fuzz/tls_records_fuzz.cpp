// The TLS record splitter of the Windows read loop, fed a server's bytes in
// pieces of every size: each record comes out whole and in order, exactly as
// framed in the input, the buffer never holds more than one record, and a
// bad header stops the stream for good.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/tls_records.h"

namespace {

using torvane::platform::TlsRecordSplitter;

void Require(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte sets how the rest arrives: pieces of 1 to 256 bytes.
  const std::size_t piece = static_cast<std::size_t>(data[0]) + 1;
  const std::span<const std::uint8_t> input(data + 1, size - 1);

  TlsRecordSplitter splitter;
  std::size_t fed = 0;      // input bytes given to the splitter
  std::size_t emitted = 0;  // input bytes handed out as records
  bool malformed = false;
  while (!malformed) {
    std::span<std::uint8_t> record;
    const auto state = splitter.Next(record);
    if (state == TlsRecordSplitter::State::kMalformed) {
      malformed = true;
      break;
    }
    if (state == TlsRecordSplitter::State::kRecord) {
      Require(record.size() >= TlsRecordSplitter::kHeaderSize && record.size() <= TlsRecordSplitter::kMaxRecord);
      Require(record.size() == TlsRecordSplitter::kHeaderSize + ((std::size_t{record[3]} << 8) | record[4]));
      Require(emitted + record.size() <= fed);
      Require(std::equal(record.begin(), record.end(), input.begin() + static_cast<std::ptrdiff_t>(emitted)));
      emitted += record.size();
      splitter.Pop();
      continue;
    }
    const std::size_t missing = splitter.Missing();
    Require(missing > 0);
    if (fed == input.size()) break;
    const std::size_t take = std::min({piece, missing, input.size() - fed});
    // More than the record needs is refused (and nothing taken).
    if (input.size() - fed > missing) Require(!splitter.Append(input.subspan(fed, missing + 1)));
    Require(splitter.Append(input.subspan(fed, take)));
    fed += take;
    Require(splitter.buffered() <= TlsRecordSplitter::kMaxRecord);
    Require(emitted + splitter.buffered() == fed);
  }
  // A stream is malformed only for a header no TLS 1.2+ record can have.
  if (malformed) {
    const std::uint8_t* header = input.data() + emitted;
    const std::size_t length = (std::size_t{header[3]} << 8) | header[4];
    Require(header[0] < 20 || header[0] > 23 || header[1] != 3 || length > TlsRecordSplitter::kMaxFragment ||
            (length == 0 && header[0] != 23));
  }
  return 0;
}
