#pragma once
// Recovery of a store that does not decrypt whole: cut short, with bytes
// added after its end, or damaged in its last blocks. CBC decrypts every
// whole block from the block before it alone, so the records that the
// damage did not reach can still be read.
#include <cstdint>
#include <string>
#include <string_view>

namespace torvane::report {

struct SalvagedStore {
  std::string plaintext;          // whole records, each followed by ","
  std::size_t records = 0;        // how many
  std::uint64_t unreadable = 0;   // bytes of the file they do not come from
};

// The leading whole records of a damaged store's file bytes. The records end
// where an intact end of message (a "," and valid padding) is found at a
// block boundary; failing that, at the last "," that ends a record among the
// whole blocks. A record holding control bytes (what a wrong block decrypts
// to, almost always) ends the salvage, so a foreign file yields nothing.
SalvagedStore SalvageWarningStore(std::string_view fileBytes);

}  // namespace torvane::report
