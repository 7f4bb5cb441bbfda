// The ten exported functions. Each call reads the simulation file named by
// the environment variable SELVIK_SIM (default "selvik.sim" in the current
// directory), acts on it, writes it back when the disk's state changed, and
// appends one line to the call log "<file>.calls". Without a readable file
// the library knows no disks.
#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>

#include "tools/selvik/sim_disk.h"

namespace {

std::mutex g_lock;

std::string SimPath() {
#ifdef _WIN32
  // The process environment, not this module's copy of the C runtime's.
  char buf[1024];
  const DWORD n = ::GetEnvironmentVariableA("SELVIK_SIM", buf, sizeof buf);
  if (n > 0 && n < sizeof buf) return std::string(buf, n);
#else
  if (const char* p = std::getenv("SELVIK_SIM"); p && *p) return p;
#endif
  return "selvik.sim";
}

template <typename R, typename Fn>
R Run(const char* name, Fn&& fn) {
  std::lock_guard<std::mutex> hold(g_lock);
  const std::string path = SimPath();
  selvik::SimFile file = selvik::ReadSimFile(path).value_or(selvik::SimFile{});
  selvik::Call call;
  const R result = fn(file, call);
  if (call.changed) selvik::WriteSimFile(path, file);
  std::ofstream log(path + ".calls", std::ios::binary | std::ios::app);
  log << name << (call.log.empty() ? "" : " ") << call.log << " -> " << static_cast<long long>(result)
      << '\n';
  return result;
}

}  // namespace

#define SELVIK_EXPORT extern "C"

SELVIK_EXPORT std::uint32_t SELVIK_CALL VX_GetUsbStorageDriver() {
  return Run<std::uint32_t>("VX_GetUsbStorageDriver",
                            [](auto& f, auto& c) { return selvik::UsbStorageMask(f, c); });
}

SELVIK_EXPORT std::int32_t SELVIK_CALL VX_GetUDiskInfoByDriver(int letter, char* vid, char* pid,
                                                               char* serial) {
  return Run<std::int32_t>("VX_GetUDiskInfoByDriver", [&](auto& f, auto& c) {
    return selvik::DiskInfo(f, c, letter, vid, pid, serial);
  });
}

SELVIK_EXPORT std::int32_t SELVIK_CALL VX_IsDIZaraz(int letter) {
  return Run<std::int32_t>("VX_IsDIZaraz",
                           [&](auto& f, auto& c) { return selvik::IsClassified(f, c, letter); });
}

SELVIK_EXPORT std::int32_t SELVIK_CALL VX_OpenUDisk(int letter) {
  return Run<std::int32_t>("VX_OpenUDisk",
                           [&](auto& f, auto& c) { return selvik::OpenOrdinary(f, c, letter); });
}

SELVIK_EXPORT std::int32_t SELVIK_CALL VX_LoadRegInfo(torvane::admission::RegInfo* info) {
  return Run<std::int32_t>("VX_LoadRegInfo",
                           [&](auto& f, auto& c) { return selvik::LoadRegistration(f, c, info); });
}

SELVIK_EXPORT std::int32_t SELVIK_CALL VX_LoadAuthList(std::int32_t count,
                                                       torvane::admission::AuthEntry* entries) {
  return Run<std::int32_t>("VX_LoadAuthList", [&](auto& f, auto& c) {
    return selvik::LoadAuthorizations(f, c, count, entries);
  });
}

SELVIK_EXPORT std::int32_t SELVIK_CALL VX_SaveAuthList(std::int32_t count,
                                                       torvane::admission::AuthEntry* entries) {
  return Run<std::int32_t>("VX_SaveAuthList", [&](auto& f, auto& c) {
    return selvik::SaveAuthorizations(f, c, count, entries);
  });
}

SELVIK_EXPORT std::int32_t SELVIK_CALL VX_TryUserPasswd(const char* password) {
  return Run<std::int32_t>("VX_TryUserPasswd",
                           [&](auto& f, auto& c) { return selvik::TryPassword(f, c, password); });
}

SELVIK_EXPORT std::int32_t SELVIK_CALL VX_OpenSecDisk(const char* password, int letter,
                                                      int accessValue) {
  return Run<std::int32_t>("VX_OpenSecDisk", [&](auto& f, auto& c) {
    return selvik::OpenProtected(f, c, password, letter, accessValue);
  });
}

SELVIK_EXPORT std::int32_t SELVIK_CALL VX_ChangeUserPasswd(const char* oldPassword,
                                                           const char* newPassword) {
  return Run<std::int32_t>("VX_ChangeUserPasswd", [&](auto& f, auto& c) {
    return selvik::ChangePassword(f, c, oldPassword, newPassword);
  });
}
