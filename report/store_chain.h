#pragma once
// The store is one CBC message, so its last ciphertext block depends only on
// the block before it (the IV for the first block) and on the plaintext
// bytes after the last whole block. An append decrypts that last block,
// adds the record and encrypts from there: the file's earlier blocks, and
// so the file's bytes, come out exactly as re-encrypting everything would.
#include <string>
#include <string_view>

namespace torvane::report {

// Decrypts the store's last block `last` chained to `chain` (the previous
// ciphertext block, or the IV), removing the padding: plain gets the
// 0 to 15 plaintext bytes that follow the last whole block. Returns the
// cipher's decrypt code (3 when the padding is not valid).
int DecryptChainTail(std::string_view chain, std::string_view last, std::string& plain);

// Encrypts plain, chained to `chain`, with its padding block(s): the bytes
// that replace the store's last block. Always at least one block, even for
// an empty plain. Returns the cipher's encrypt code.
int EncryptChainTail(std::string_view chain, std::string_view plain, std::string& out);

}  // namespace torvane::report
