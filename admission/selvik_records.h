#pragma once
// The records exchanged with the secure-disk library, byte for byte as the
// library lays them out: packed, little-endian, no padding. Also included by
// the stand-in library in tools/selvik.
#include <cstddef>
#include <cstdint>

// The library's calling convention: __stdcall on 32-bit Windows, the
// platform's default elsewhere.
#if defined(_WIN32) && defined(__i386__)
#define SELVIK_CALL __stdcall
#else
#define SELVIK_CALL
#endif

namespace torvane::admission {

#pragma pack(push, 1)

// The disk's registration record. Bytes 0..161 belong to the library.
struct RegInfo {
  unsigned char reserved[162];
  char ownerName[73];            // responsible person, NUL-terminated
  std::int32_t authCount;        // number of AuthEntry records on the disk
  std::uint8_t generalAllowed;   // nonzero: the general policy may apply
  std::uint8_t checkUser;        // 1: owner must equal the terminal's user
};

// One authorization of the disk for a unit and security field.
struct AuthEntry {
  std::uint8_t unitId[16];       // compared as 32 upper-case hex digits
  std::uint16_t useLimited;      // nonzero: uses are counted
  std::uint16_t usesLeft;        // remaining uses
  std::int8_t accessValue;       // handed on to VX_OpenSecDisk
  unsigned char reserved[7];
  std::uint32_t fieldMask;       // security-field bits
};

#pragma pack(pop)

static_assert(sizeof(RegInfo) == 241);
static_assert(offsetof(RegInfo, ownerName) == 162);
static_assert(offsetof(RegInfo, authCount) == 235);
static_assert(offsetof(RegInfo, generalAllowed) == 239);
static_assert(offsetof(RegInfo, checkUser) == 240);

static_assert(sizeof(AuthEntry) == 32);
static_assert(offsetof(AuthEntry, unitId) == 0);
static_assert(offsetof(AuthEntry, useLimited) == 16);
static_assert(offsetof(AuthEntry, usesLeft) == 18);
static_assert(offsetof(AuthEntry, accessValue) == 20);
static_assert(offsetof(AuthEntry, reserved) == 21);
static_assert(offsetof(AuthEntry, fieldMask) == 28);

// Buffer sizes the library fills.
inline constexpr std::size_t kVidSize = 5;
inline constexpr std::size_t kPidSize = 5;
inline constexpr std::size_t kSerialSize = 256;

}  // namespace torvane::admission
