#include "report/store_chain.h"

#include "report/store_cipher.h"
#include "report/store_format.h"

namespace torvane::report {
namespace {

const unsigned char* Bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

}  // namespace

int DecryptChainTail(std::string_view chain, std::string_view last, std::string& plain) {
  plain.clear();
  if (chain.size() != kStoreBlock || last.size() != kStoreBlock) return 3;
  StoreCipher cipher(kStoreKey.data(), Bytes(chain), kStoreKeyLength);
  return cipher.Decrypt(last, plain, 1);
}

int EncryptChainTail(std::string_view chain, std::string_view plain, std::string& out) {
  out.clear();
  if (chain.size() != kStoreBlock) return 1;
  // PKCS #7 by hand, so that an empty tail still yields its padding block.
  std::string padded(plain);
  const std::size_t pad = kStoreBlock - plain.size() % kStoreBlock;
  padded.append(pad, static_cast<char>(pad));
  StoreCipher cipher(kStoreKey.data(), Bytes(chain), kStoreKeyLength);
  return cipher.Encrypt(padded, out, 0);
}

}  // namespace torvane::report
