#pragma once
// The encrypted warning store "info2.sys": events the server did not accept,
// kept as one ciphertext of R1 "," R2 "," ... Rn "," (see store_format.h).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace torvane::report {

// Appends record and "," under the store lock, re-encrypting only the
// store's last block, mirrors the new size into "check" and logs failures to
// the operation log. Returns 0 when the record is in the store (an empty
// record just refreshes "check"), -1 when it was dropped. Never throws.
int AppendWarningRecord(const std::string& storePath, std::string_view record);

// The decrypted plaintext; empty when the file is absent, empty, unreadable
// or undecryptable (the last two log an "Error:" line). Call with the lock
// held when appends may run.
std::string ReadWarningStore(const std::string& storePath);

// Decryption of a whole store file's bytes, for readers that need to know
// why it failed. code is the cipher's decrypt code (0 = ok).
struct DecodedStore {
  int code = 0;
  std::string plaintext;
};
DecodedStore DecodeWarningStore(std::string_view fileBytes);

// Splits a plaintext into its records, without their "," separators. A
// record kept by the event reporter ends in "|", so a "," that follows "|"
// ends a record and other commas belong to the text; a plaintext not made of
// such records is split at every ",". Bytes after the last separator come
// back as a last record.
std::vector<std::string> SplitWarningRecords(std::string_view plaintext);

}  // namespace torvane::report
