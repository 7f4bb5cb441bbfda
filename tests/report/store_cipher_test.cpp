#include "report/store_cipher.h"

#include <gtest/gtest.h>

#include <string>

#include "report/store_chain.h"
#include "report/store_format.h"

namespace torvane::report {
namespace {

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    out += digits[static_cast<unsigned char>(c) >> 4];
    out += digits[static_cast<unsigned char>(c) & 15];
  }
  return out;
}

std::string Unhex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

// The store's consumer relies on the cipher being AES-128-CBC: NIST SP
// 800-38A F.2.1, first two blocks.
TEST(StoreCipherTest, IsAes128Cbc) {
  const std::string key = Unhex("2b7e151628aed2a6abf7158809cf4f3c");
  const std::string iv = Unhex("000102030405060708090a0b0c0d0e0f");
  StoreCipher cipher(reinterpret_cast<const unsigned char*>(key.data()),
                     reinterpret_cast<const unsigned char*>(iv.data()), 16);
  std::string out;
  ASSERT_EQ(cipher.Encrypt(Unhex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"),
                           out, 0),
            0);
  EXPECT_EQ(Hex(out), "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2");
}

TEST(StoreCipherTest, PaddingAlwaysAddsBetweenOneAndSixteenBytes) {
  for (const std::size_t n : {1u, 15u, 16u, 20u, 32u}) {
    StoreCipher enc, dec;
    const std::string plain(n, 'r');
    std::string cipher, back;
    ASSERT_EQ(enc.Encrypt(plain, cipher), 0);
    EXPECT_EQ(cipher.size(), (n / 16 + 1) * 16) << n;
    ASSERT_EQ(dec.Decrypt(cipher, back), 0);
    EXPECT_EQ(back, plain);
  }
}

TEST(StoreCipherTest, EmptyInputGivesEmptyOutputAndSuccess) {
  StoreCipher cipher;
  std::string out = "old";
  EXPECT_EQ(cipher.Encrypt("", out), 0);
  EXPECT_EQ(out, "");
  out = "old";
  EXPECT_EQ(cipher.Decrypt("", out), 0);
  EXPECT_EQ(out, "");
}

TEST(StoreCipherTest, DamagedOrForeignCiphertextFailsAtFinal) {
  StoreCipher enc;
  std::string cipher, out;
  ASSERT_EQ(enc.Encrypt(std::string(20, 'x'), cipher), 0);
  EXPECT_EQ(StoreCipher().Decrypt(cipher.substr(0, 17), out), 3);
  EXPECT_EQ(StoreCipher().Decrypt(cipher.substr(0, 31), out), 3);
  // Another key: the last block's padding is then garbage.
  const unsigned char other[16] = {1, 2, 3};
  const unsigned char zero[16] = {};
  StoreCipher foreign(other, zero, 16);
  EXPECT_EQ(foreign.Decrypt(cipher, out), 3);
  EXPECT_EQ(out, "");
}

// Continuing the chain from the second-to-last block reproduces whole
// re-encryption exactly, including a tail that is only padding.
TEST(StoreChainTest, TailContinuationMatchesWholeEncryption) {
  const std::string iv(kStoreIv.begin(), kStoreIv.end());
  for (std::size_t before = 1; before <= 40; ++before) {
    for (const std::size_t added : {0u, 1u, 15u, 16u, 17u, 200u}) {
      const std::string old(before, 'a'), more(added, 'b');
      std::string oldCipher, whole;
      ASSERT_EQ(StoreCipher().Encrypt(old, oldCipher), 0);
      ASSERT_EQ(StoreCipher().Encrypt(old + more, whole), 0);
      const std::size_t n = oldCipher.size();
      const std::string chain = n >= 32 ? oldCipher.substr(n - 32, 16) : iv;
      std::string tail, fresh;
      ASSERT_EQ(DecryptChainTail(chain, oldCipher.substr(n - 16), tail), 0);
      EXPECT_EQ(tail, old.substr(old.size() - old.size() % 16));
      ASSERT_EQ(EncryptChainTail(chain, tail + more, fresh), 0);
      EXPECT_EQ(oldCipher.substr(0, n - 16) + fresh, whole) << before << "+" << added;
    }
  }
}

}  // namespace
}  // namespace torvane::report
