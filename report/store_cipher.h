#pragma once
// One encryption or one decryption with the store's cipher (see
// store_format.h) through OpenSSL's EVP interface. Result codes:
//   Encrypt: 0 ok (also for empty input), 1 init, 2 padding switch,
//            3 update, 4 final failed.
//   Decrypt: 0 ok (also for empty input), 1 init, 2 padding switch or
//            update, 3 final failed (wrong key, damaged data, length not a
//            whole number of blocks).
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

struct evp_cipher_ctx_st;  // OpenSSL's EVP_CIPHER_CTX

namespace torvane::report {

class StoreCipher {
 public:
  // key and iv each supply the first `length` bytes (at most 16) of a zeroed
  // 32-byte key buffer and a zeroed 16-byte IV buffer.
  StoreCipher(const unsigned char* key, const unsigned char* iv, std::size_t length);
  // The store's own parameters: the fixed key and the zero IV.
  StoreCipher();
  StoreCipher(const StoreCipher&) = delete;
  StoreCipher& operator=(const StoreCipher&) = delete;
  virtual ~StoreCipher();

  // The output is replaced (emptied on failure). padding 0 switches block
  // padding off.
  int Encrypt(std::string_view input, std::string& output, int padding = 1);
  int Decrypt(std::string_view input, std::string& output, int padding = 1);

 private:
  int EncryptInto(std::string_view input, std::string& output, int padding);
  int DecryptInto(std::string_view input, std::string& output, int padding);
  struct ContextFree {
    void operator()(evp_cipher_ctx_st* ctx) const;
  };
  unsigned char key_[32] = {};
  unsigned char iv_[16] = {};
  std::unique_ptr<evp_cipher_ctx_st, ContextFree> context_;
};

}  // namespace torvane::report
