#include "report/store_cipher.h"

#include <openssl/evp.h>

#include <climits>
#include <cstring>

#include "report/store_format.h"

namespace torvane::report {

void StoreCipher::ContextFree::operator()(evp_cipher_ctx_st* ctx) const {
  EVP_CIPHER_CTX_free(ctx);
}

StoreCipher::StoreCipher(const unsigned char* key, const unsigned char* iv, std::size_t length)
    : context_(EVP_CIPHER_CTX_new()) {
  if (length > sizeof iv_) length = sizeof iv_;
  if (key) std::memcpy(key_, key, length);
  if (iv) std::memcpy(iv_, iv, length);
}

StoreCipher::StoreCipher() : StoreCipher(kStoreKey.data(), kStoreIv.data(), kStoreKeyLength) {}

StoreCipher::~StoreCipher() = default;

namespace {

const EVP_CIPHER* Cipher() { return EVP_aes_128_cbc(); }

// EVP counts in int; one message never exceeds this (the store stops taking
// records at 64 MiB).
constexpr std::size_t kMaxMessage = static_cast<std::size_t>(INT_MAX) - 64;

unsigned char* Bytes(std::string& s) { return reinterpret_cast<unsigned char*>(s.data()); }
const unsigned char* Bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

}  // namespace

int StoreCipher::Encrypt(std::string_view input, std::string& output, int padding) {
  const int code = EncryptInto(input, output, padding);
  if (code != 0) output.clear();  // never half a result
  return code;
}

int StoreCipher::Decrypt(std::string_view input, std::string& output, int padding) {
  const int code = DecryptInto(input, output, padding);
  if (code != 0) output.clear();
  return code;
}

int StoreCipher::EncryptInto(std::string_view input, std::string& output, int padding) {
  output.clear();
  if (input.empty()) return 0;
  if (!context_ || input.size() > kMaxMessage) return 1;
  if (EVP_EncryptInit_ex(context_.get(), Cipher(), nullptr, key_, iv_) != 1) return 1;
  if (padding == 0 && EVP_CIPHER_CTX_set_padding(context_.get(), 0) != 1) return 2;
  output.resize(input.size() + 32);
  int updated = 0;
  if (EVP_EncryptUpdate(context_.get(), Bytes(output), &updated, Bytes(input),
                        static_cast<int>(input.size())) != 1)
    return 3;
  int finished = 0;
  if (EVP_EncryptFinal_ex(context_.get(), Bytes(output) + updated, &finished) != 1) return 4;
  output.resize(static_cast<std::size_t>(updated) + static_cast<std::size_t>(finished));
  return 0;
}

int StoreCipher::DecryptInto(std::string_view input, std::string& output, int padding) {
  output.clear();
  if (input.empty()) return 0;
  if (!context_ || input.size() > kMaxMessage) return 1;
  if (EVP_DecryptInit_ex(context_.get(), Cipher(), nullptr, key_, iv_) != 1) return 1;
  if (padding == 0 && EVP_CIPHER_CTX_set_padding(context_.get(), 0) != 1) return 2;
  // Decrypt update may hold back one block for the final step, which then
  // writes at most one block; a block of room past the input keeps both
  // within the buffer whatever the input's length.
  output.resize(input.size() + kStoreBlock);
  int updated = 0;
  if (EVP_DecryptUpdate(context_.get(), Bytes(output), &updated, Bytes(input),
                        static_cast<int>(input.size())) != 1)
    return 2;
  int finished = 0;
  if (EVP_DecryptFinal_ex(context_.get(), Bytes(output) + updated, &finished) != 1) return 3;
  output.resize(static_cast<std::size_t>(updated) + static_cast<std::size_t>(finished));
  return 0;
}

}  // namespace torvane::report
