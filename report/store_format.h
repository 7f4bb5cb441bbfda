#pragma once
// The encrypted warning store's contract with its consumer: file name, lock
// name, size limit and cipher parameters. The consumer must use exactly these.
//
// Cipher: AES-128 in CBC mode (OpenSSL EVP_aes_128_cbc), PKCS #7 padding, the
// whole plaintext encrypted as one message with an all-zero 16-byte IV. The
// key is the 16 bytes of kStoreKey below (the cipher reads the first 16 bytes
// of a 32-byte buffer whose last 16 bytes are zero).
#include <array>
#include <cstddef>
#include <cstdint>

namespace torvane::report {

inline constexpr char kWarningStoreName[] = "info2.sys";
inline constexpr char kStoreLockName[] = "Global_KolMera2WarnLog_DIZaraz";
// A store of this size or more takes no further records.
inline constexpr std::uint64_t kStoreLimit = 0x4000000;
// How often a waiting append tries the lock again, in milliseconds.
inline constexpr int kStoreLockPollMs = 1000;

inline constexpr std::size_t kStoreBlock = 16;
inline constexpr std::size_t kStoreKeyLength = 16;

inline constexpr std::array<unsigned char, kStoreKeyLength> kStoreKey = {
    0x5b, 0xc2, 0x17, 0x9e, 0x40, 0xd3, 0x8a, 0x61,
    0xf4, 0x2e, 0x93, 0x0c, 0xb7, 0x75, 0x1d, 0xe8};
inline constexpr std::array<unsigned char, kStoreKeyLength> kStoreIv = {};

}  // namespace torvane::report
