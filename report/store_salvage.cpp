#include "report/store_salvage.h"

#include "report/store_cipher.h"
#include "report/store_format.h"

namespace torvane::report {
namespace {

// Where the message ends: just after the "," before the last valid padding
// found at a block boundary, or npos.
std::size_t PaddedEnd(std::string_view plain) {
  for (std::size_t end = plain.size(); end >= kStoreBlock; end -= kStoreBlock) {
    const auto pad = static_cast<unsigned char>(plain[end - 1]);
    if (pad == 0 || pad > kStoreBlock || end - pad == 0) continue;
    bool valid = plain[end - pad - 1] == ',';
    for (std::size_t i = end - pad; valid && i < end; ++i)
      valid = static_cast<unsigned char>(plain[i]) == pad;
    if (valid) return end - pad;
  }
  return std::string_view::npos;
}

// Just after the last "," that ends a record: one after "|" when the text
// holds such records, else any; 0 when there is none.
std::size_t LastRecordEnd(std::string_view plain) {
  const std::size_t bar = plain.rfind("|,");
  if (bar != std::string_view::npos) return bar + 2;
  const std::size_t comma = plain.rfind(',');
  return comma == std::string_view::npos ? 0 : comma + 1;
}

bool LooksLikeText(std::string_view record) {
  for (const char c : record) {
    const auto b = static_cast<unsigned char>(c);
    if ((b < 0x20 && b != '\t' && b != '\r' && b != '\n') || b == 0x7f) return false;
  }
  return true;
}

}  // namespace

SalvagedStore SalvageWarningStore(std::string_view fileBytes) {
  SalvagedStore salvaged;
  salvaged.unreadable = fileBytes.size();
  const std::size_t whole = fileBytes.size() / kStoreBlock * kStoreBlock;
  std::string plain;
  if (whole == 0 || StoreCipher().Decrypt(fileBytes.substr(0, whole), plain, 0) != 0) return salvaged;

  std::size_t end = PaddedEnd(plain);
  const bool padded = end != std::string_view::npos;
  if (!padded) end = LastRecordEnd(plain);
  // Records one by one from the start (as SplitWarningRecords cuts them),
  // up to the first that is not text.
  const std::string_view candidate = std::string_view(plain).substr(0, end);
  const std::string_view separator = candidate.ends_with("|,") ? "|," : ",";
  std::size_t kept = 0;
  while (kept < candidate.size()) {
    const std::size_t stop = candidate.find(separator, kept) + separator.size();
    if (!LooksLikeText(candidate.substr(kept, stop - kept - 1))) break;
    kept = stop;
    ++salvaged.records;
  }
  salvaged.plaintext.assign(candidate.substr(0, kept));
  // The blocks that hold the kept records (their padding block too, when the
  // records run to the message's end) count as read.
  const std::size_t read = padded && kept == end ? end / kStoreBlock * kStoreBlock + kStoreBlock
                                                 : (kept + kStoreBlock - 1) / kStoreBlock * kStoreBlock;
  salvaged.unreadable = fileBytes.size() - read;
  return salvaged;
}

}  // namespace torvane::report
