#pragma once
// Recovery of a store that does not decrypt whole: cut short, with bytes
// added after its end, or damaged anywhere. CBC decrypts every whole block
// from the block before it alone, so the records that the damage did not
// reach, before it and after it, can still be read.
#include <cstdint>
#include <string>
#include <string_view>

namespace torvane::report {

struct SalvagedStore {
  std::string plaintext;          // whole records, each followed by ",", in order
  std::size_t records = 0;        // how many
  std::size_t lost = 0;           // records seen in the unreadable stretches
  std::uint64_t unreadable = 0;   // bytes of the file they do not come from
};

// The whole records of a damaged store's file bytes, read by their frame
// (see store_record_frame.h). A record starts where the message starts or
// just after a "|," and must open with its "guid|when|" header. It ends at
// the terminator "|type|," that the next record's header (or the message's
// end) follows, so its text may hold "|", "," and control bytes; when its
// text holds debris of a header (damage across a record boundary) it ends
// at its first terminator instead, or is lost. The message ends at an intact
// end (a "," and valid padding) in the last whole block; failing that, with
// the last whole block, where bytes after valid padding that directly
// follows the last kept record, with no record starting after it, are taken
// as added after the end rather than as lost records.
SalvagedStore SalvageWarningStore(std::string_view fileBytes);

}  // namespace torvane::report
