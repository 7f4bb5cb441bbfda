// The warning store decoder over arbitrary file bytes: decryption, the
// record split, the salvage of a damaged store, and the tail decoder.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "report/store_chain.h"
#include "report/store_cipher.h"
#include "report/store_format.h"
#include "report/store_salvage.h"
#include "report/warning_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto decoded = torvane::report::DecodeWarningStore(bytes);
  if (decoded.code == 0) {
    std::size_t total = 0;
    for (const auto& record : torvane::report::SplitWarningRecords(decoded.plaintext))
      total += record.size() + 1;
    if (total < decoded.plaintext.size()) __builtin_trap();  // records must cover the text
  }
  // Salvage keeps whole records only, and never more bytes than it read.
  const auto salvaged = torvane::report::SalvageWarningStore(bytes);
  if (salvaged.unreadable > size) __builtin_trap();
  if ((salvaged.records == 0) != salvaged.plaintext.empty()) __builtin_trap();
  if (!salvaged.plaintext.empty() && salvaged.plaintext.back() != ',') __builtin_trap();
  if (salvaged.plaintext.size() + salvaged.unreadable > size) __builtin_trap();
  if (!salvaged.plaintext.empty() && !salvaged.plaintext.ends_with("|,")) __builtin_trap();
  // The input as a store's plaintext, its last byte cut: the record frame
  // parser over text that random ciphertext rarely decrypts to.
  std::string cipher;
  if (torvane::report::StoreCipher().Encrypt(bytes, cipher) == 0 && !cipher.empty()) {
    cipher.pop_back();
    const auto framed = torvane::report::SalvageWarningStore(cipher);
    if (framed.plaintext.size() > size || framed.plaintext.size() + framed.unreadable > cipher.size())
      __builtin_trap();
  }
  // The plaintext itself as records, for split inputs that decrypt rarely.
  (void)torvane::report::SplitWarningRecords(bytes);
  // The tail decoder an append uses on the file's last two blocks.
  if (size >= 2 * torvane::report::kStoreBlock) {
    std::string tail;
    (void)torvane::report::DecryptChainTail(bytes.substr(size - 32, 16), bytes.substr(size - 16),
                                            tail);
    if (tail.size() >= torvane::report::kStoreBlock) __builtin_trap();
  }
  return 0;
}
