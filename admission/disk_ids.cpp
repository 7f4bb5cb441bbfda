#include "admission/disk_ids.h"

#include <cstring>

namespace torvane::admission {

bool ReadDiskIds(SecureDisk& disk, char letter, DiskIds& ids) {
  ids = DiskIds{};
  const bool read = disk.GetUDiskInfoByDriver(letter, ids.vid, ids.pid, ids.serial) == 0;
  ids.vid[kVidSize - 1] = ids.pid[kPidSize - 1] = ids.serial[kSerialSize - 1] = '\0';
  return read;
}

bool SameDisk(const DiskIds& a, const DiskIds& b) {
  return std::strcmp(a.vid, b.vid) == 0 && std::strcmp(a.pid, b.pid) == 0 &&
         std::strcmp(a.serial, b.serial) == 0;
}

}  // namespace torvane::admission
