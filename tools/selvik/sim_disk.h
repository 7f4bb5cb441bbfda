#pragma once
// What the stand-in library does with the disks of a simulation file. Each
// function acts on the file's contents in memory and says whether it changed
// them (the caller writes them back) and what to put in the call log.
#include <cstdint>
#include <string>

#include "admission/selvik_records.h"
#include "tools/selvik/sim_file.h"

namespace selvik {

using torvane::admission::AuthEntry;
using torvane::admission::RegInfo;

struct Call {
  bool changed = false;
  std::string log;  // arguments as the call log shows them
};

std::uint32_t UsbStorageMask(SimFile& f, Call& c);
std::int32_t DiskInfo(SimFile& f, Call& c, int letter, char* vid, char* pid, char* serial);
std::int32_t IsClassified(SimFile& f, Call& c, int letter);
std::int32_t OpenOrdinary(SimFile& f, Call& c, int letter);
std::int32_t LoadRegistration(SimFile& f, Call& c, RegInfo* info);
std::int32_t LoadAuthorizations(SimFile& f, Call& c, std::int32_t count, AuthEntry* entries);
std::int32_t SaveAuthorizations(SimFile& f, Call& c, std::int32_t count, const AuthEntry* entries);
std::int32_t TryPassword(SimFile& f, Call& c, const char* password);
std::int32_t OpenProtected(SimFile& f, Call& c, const char* password, int letter, int accessValue);
std::int32_t ChangePassword(SimFile& f, Call& c, const char* oldPassword, const char* newPassword);

}  // namespace selvik
