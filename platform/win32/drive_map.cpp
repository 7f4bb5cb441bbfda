// Drive letters are the system's own; SetDriveRoot defines a letter for a
// folder (as subst does) or removes that definition.
#include <windows.h>

#include "platform/drive_map.h"

namespace torvane::platform {
namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

bool SetDriveRoot(char letter, const std::string& directory) {
  if (!IsLetter(letter)) return false;
  const char device[] = {letter, ':', '\0'};
  if (directory.empty()) return ::DefineDosDeviceA(DDD_REMOVE_DEFINITION, device, nullptr) != 0;
  return ::DefineDosDeviceA(0, device, directory.c_str()) != 0;
}

std::optional<std::string> DriveRoot(char letter) {
  if (!IsLetter(letter)) return std::nullopt;
  std::string root = {letter, ':', '\\'};
  if (::GetDriveTypeA(root.c_str()) <= DRIVE_NO_ROOT_DIR) return std::nullopt;
  return root;
}

std::string NativePath(std::string_view path) { return std::string(path); }

}  // namespace torvane::platform
