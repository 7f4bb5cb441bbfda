#include "admission/selvik_library.h"

#include "config/host_directory.h"
#include "platform/dynamic_library.h"

namespace torvane::admission {
namespace {

using GetUsbStorageDriverFn = std::uint32_t(SELVIK_CALL*)();
using GetUDiskInfoByDriverFn = std::int32_t(SELVIK_CALL*)(int, char*, char*, char*);
using LetterFn = std::int32_t(SELVIK_CALL*)(int);
using LoadRegInfoFn = std::int32_t(SELVIK_CALL*)(RegInfo*);
using AuthListFn = std::int32_t(SELVIK_CALL*)(std::int32_t, AuthEntry*);
using TryUserPasswdFn = std::int32_t(SELVIK_CALL*)(const char*);
using OpenSecDiskFn = std::int32_t(SELVIK_CALL*)(const char*, int, int);
using ChangeUserPasswdFn = std::int32_t(SELVIK_CALL*)(const char*, const char*);

class SelvikLibrary final : public SecureDisk {
 public:
  explicit SelvikLibrary(platform::DynamicLibrary library) : library_(std::move(library)) {}

  // Resolves every function; returns the name of the first one missing.
  const char* Bind() {
    if (!Get("VX_GetUsbStorageDriver", getMask_)) return "VX_GetUsbStorageDriver";
    if (!Get("VX_GetUDiskInfoByDriver", getInfo_)) return "VX_GetUDiskInfoByDriver";
    if (!Get("VX_IsDIZaraz", isClassified_)) return "VX_IsDIZaraz";
    if (!Get("VX_OpenUDisk", openUDisk_)) return "VX_OpenUDisk";
    if (!Get("VX_LoadRegInfo", loadRegInfo_)) return "VX_LoadRegInfo";
    if (!Get("VX_LoadAuthList", loadAuthList_)) return "VX_LoadAuthList";
    if (!Get("VX_SaveAuthList", saveAuthList_)) return "VX_SaveAuthList";
    if (!Get("VX_TryUserPasswd", tryPasswd_)) return "VX_TryUserPasswd";
    if (!Get("VX_OpenSecDisk", openSecDisk_)) return "VX_OpenSecDisk";
    if (!Get("VX_ChangeUserPasswd", changePasswd_)) return "VX_ChangeUserPasswd";
    return nullptr;
  }

  std::uint32_t GetUsbStorageDriver() override { return getMask_(); }
  std::int32_t GetUDiskInfoByDriver(int letter, char* vid, char* pid, char* serial) override {
    return getInfo_(letter, vid, pid, serial);
  }
  std::int32_t IsDIZaraz(int letter) override { return isClassified_(letter); }
  std::int32_t OpenUDisk(int letter) override { return openUDisk_(letter); }
  std::int32_t LoadRegInfo(RegInfo* info) override { return loadRegInfo_(info); }
  std::int32_t LoadAuthList(std::int32_t count, AuthEntry* entries) override {
    return loadAuthList_(count, entries);
  }
  std::int32_t SaveAuthList(std::int32_t count, AuthEntry* entries) override {
    return saveAuthList_(count, entries);
  }
  std::int32_t TryUserPasswd(const char* password) override { return tryPasswd_(password); }
  std::int32_t OpenSecDisk(const char* password, int letter, int accessValue) override {
    return openSecDisk_(password, letter, accessValue);
  }
  std::int32_t ChangeUserPasswd(const char* oldPassword, const char* newPassword) override {
    return changePasswd_(oldPassword, newPassword);
  }

 private:
  template <typename Fn>
  bool Get(const char* name, Fn& fn) {
    // A generic void(*)() converts to any function pointer type; the call
    // through it is made with the real type only.
    fn = reinterpret_cast<Fn>(library_.Symbol(name));
    return fn != nullptr;
  }

  platform::DynamicLibrary library_;
  GetUsbStorageDriverFn getMask_ = nullptr;
  GetUDiskInfoByDriverFn getInfo_ = nullptr;
  LetterFn isClassified_ = nullptr;
  LetterFn openUDisk_ = nullptr;
  LoadRegInfoFn loadRegInfo_ = nullptr;
  AuthListFn loadAuthList_ = nullptr;
  AuthListFn saveAuthList_ = nullptr;
  TryUserPasswdFn tryPasswd_ = nullptr;
  OpenSecDiskFn openSecDisk_ = nullptr;
  ChangeUserPasswdFn changePasswd_ = nullptr;
};

}  // namespace

const char* SelvikLibraryName() {
#ifdef _WIN32
  return "Selvik.dll";
#else
  return "libSelvik.so";
#endif
}

std::string SelvikLibraryPath() {
  const std::string dir = config::HostDirectory();
  return dir.empty() ? std::string() : dir + SelvikLibraryName();
}

SelvikLoad LoadSelvikLibrary(const std::string& path) {
  platform::DynamicLibrary library = platform::DynamicLibrary::Open(path);
  if (!library.loaded()) {
    return {nullptr, "Error: secure-disk library not loaded: " + library.error()};
  }
  auto bound = std::make_unique<SelvikLibrary>(std::move(library));
  if (const char* missing = bound->Bind()) {
    return {nullptr, "Error: secure-disk library " + path + " lacks " + missing};
  }
  return {std::move(bound), {}};
}

}  // namespace torvane::admission
