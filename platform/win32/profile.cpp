#include <windows.h>

#include <vector>

#include "platform/profile.h"

namespace torvane::platform {

std::string ProfileString(std::string_view section, std::string_view key,
                          std::string_view fallback, std::size_t size, const std::string& path) {
  if (size == 0) return {};
  const std::string s(section), k(key), d(fallback);
  std::vector<char> buf(size, '\0');
  const DWORD n = ::GetPrivateProfileStringA(s.c_str(), k.c_str(), d.c_str(), buf.data(),
                                             static_cast<DWORD>(size), path.c_str());
  return std::string(buf.data(), n < size ? n : size - 1);
}

int ProfileInt(std::string_view section, std::string_view key, int fallback,
               const std::string& path) {
  const std::string s(section), k(key);
  return static_cast<int>(::GetPrivateProfileIntA(s.c_str(), k.c_str(), fallback, path.c_str()));
}

}  // namespace torvane::platform
