#include "report/store_salvage.h"

#include "report/store_cipher.h"
#include "report/store_format.h"
#include "report/store_record_frame.h"

namespace torvane::report {
namespace {

constexpr std::size_t npos = std::string_view::npos;

// The length of the valid padding that ends at block boundary `end` just
// after a ",", or 0 when there is none.
std::size_t PaddingAt(std::string_view plain, std::size_t end) {
  if (end < kStoreBlock || end > plain.size() || end % kStoreBlock != 0) return 0;
  const auto pad = static_cast<unsigned char>(plain[end - 1]);
  if (pad == 0 || pad > kStoreBlock || end - pad == 0 || plain[end - pad - 1] != ',') return 0;
  for (std::size_t i = end - pad; i < end; ++i)
    if (static_cast<unsigned char>(plain[i]) != pad) return 0;
  return pad;
}

// The first record start at or after `from`: the message start or just
// after a "|,", where a record header follows.
std::size_t NextStart(std::string_view message, std::size_t from) {
  if (from == 0 && RecordHeaderEnd(message, 0) != npos) return 0;
  for (std::size_t comma = message.find("|,", from < 2 ? 0 : from - 2); comma != npos;
       comma = message.find("|,", comma + 1)) {
    if (RecordHeaderEnd(message, comma + 2) != npos) return comma + 2;
  }
  return npos;
}

// Where the record whose text starts at `text` ends, given that the next
// record starts at `next`; npos when it is not whole.
std::size_t RecordEnd(std::string_view message, std::size_t text, std::size_t next) {
  const std::size_t close = RecordTerminatorStart(message, next);
  if (close != npos && close >= text && !HoldsFrameDebris(message.substr(text, close - text)))
    return next;
  for (std::size_t comma = message.find("|,", text); comma != npos && comma + 2 <= next;
       comma = message.find("|,", comma + 1)) {
    const std::size_t open = RecordTerminatorStart(message, comma + 2);
    if (open == npos || open < text) continue;
    return HoldsFrameDebris(message.substr(text, open - text)) ? npos : comma + 2;
  }
  return npos;
}

// Records in an unreadable stretch: one per terminator it holds, and one
// for a piece after its last.
std::size_t RecordsIn(std::string_view stretch) {
  std::size_t count = 0;
  for (std::size_t comma = stretch.find("|,"); comma != npos; comma = stretch.find("|,", comma + 1))
    if (RecordTerminatorStart(stretch, comma + 2) != npos) ++count;
  if (!stretch.empty() && RecordTerminatorStart(stretch, stretch.size()) == npos) ++count;
  return count;
}

}  // namespace

SalvagedStore SalvageWarningStore(std::string_view fileBytes) {
  SalvagedStore salvaged;
  salvaged.unreadable = fileBytes.size();
  const std::size_t whole = fileBytes.size() / kStoreBlock * kStoreBlock;
  std::string plain;
  if (whole == 0 || StoreCipher().Decrypt(fileBytes.substr(0, whole), plain, 0) != 0) return salvaged;

  // The message's intact end can only be in the last whole block: a record's
  // text may hold a "," and padding-like bytes at an earlier boundary, and
  // taking those for the end would hide every record after them.
  std::size_t padding = PaddingAt(plain, plain.size());
  const std::string_view message = std::string_view(plain).substr(0, plain.size() - padding);
  std::size_t unread = 0;  // start of the stretch not yet kept
  for (std::size_t start = NextStart(message, 0); start != npos;) {
    const std::size_t following = NextStart(message, start + 1);
    const std::size_t next = following == npos ? message.size() : following;
    const std::size_t end = RecordEnd(message, RecordHeaderEnd(message, start), next);
    if (end != npos) {
      salvaged.lost += RecordsIn(message.substr(unread, start - unread));
      salvaged.plaintext.append(message.substr(start, end - start));
      ++salvaged.records;
      unread = end;
    }
    start = following;
  }
  bool toTheEnd = padding != 0 && unread == message.size() && salvaged.records != 0;
  if (padding == 0 && salvaged.records != 0 && unread < message.size()) {
    // Whole blocks added after an intact end (a copy rounded up to a sector):
    // valid padding directly after the last kept record, and no record
    // starting anywhere after it. Text inside a record cannot fake this, as
    // the padding must follow a record's end.
    const std::size_t boundary = (unread / kStoreBlock + 1) * kStoreBlock;
    const std::size_t pad = PaddingAt(plain, boundary);
    if (pad == boundary - unread && NextStart(message, unread) == npos) {
      padding = pad;
      toTheEnd = true;
    }
  }
  if (!toTheEnd) salvaged.lost += RecordsIn(message.substr(unread));
  // Bytes read: those of the kept records, and the padding when the records
  // run to the message's intact end.
  salvaged.unreadable = fileBytes.size() - salvaged.plaintext.size() - (toTheEnd ? padding : 0);
  return salvaged;
}

}  // namespace torvane::report
