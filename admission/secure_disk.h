#pragma once
// The ten services of the secure-disk library, as the admission path uses
// them. Every call returns the library's 32-bit result unchanged. Drive
// letters are lower-case 'a'..'z' passed as int. The calls without a drive
// act on the disk named by the latest IsDIZaraz call.
#include <cstdint>

#include "admission/selvik_records.h"

namespace torvane::admission {

class SecureDisk {
 public:
  virtual ~SecureDisk() = default;

  virtual std::uint32_t GetUsbStorageDriver() = 0;
  // vid and pid are kVidSize/kPidSize bytes, serial kSerialSize bytes.
  virtual std::int32_t GetUDiskInfoByDriver(int letter, char* vid, char* pid, char* serial) = 0;
  virtual std::int32_t IsDIZaraz(int letter) = 0;
  virtual std::int32_t OpenUDisk(int letter) = 0;  // nonzero = opened
  virtual std::int32_t LoadRegInfo(RegInfo* info) = 0;
  // entries holds at least count records.
  virtual std::int32_t LoadAuthList(std::int32_t count, AuthEntry* entries) = 0;
  virtual std::int32_t SaveAuthList(std::int32_t count, AuthEntry* entries) = 0;
  virtual std::int32_t TryUserPasswd(const char* password) = 0;
  virtual std::int32_t OpenSecDisk(const char* password, int letter, int accessValue) = 0;
  virtual std::int32_t ChangeUserPasswd(const char* oldPassword, const char* newPassword) = 0;
};

// Result codes of TryUserPasswd with a meaning of their own.
inline constexpr std::int32_t kPasswdUnregistered = -2;
inline constexpr std::int32_t kPasswdTooManyTries = 10;

}  // namespace torvane::admission
